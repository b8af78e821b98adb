// The main window on the real Qt widgets, driven by simulated mouse and keyboard.
#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest/QTest>
#include <cstring>
#include <functional>
#include <vector>

#include "platform/qt/HighlightButton.h"
#include "platform/qt/WindowHints.h"
#include "tests/qt/QtTestSupport.h"
#include "ui/res/Resource.h"

namespace {

QStringList SystemMenuItems(QtDialogWindow& w)
{
    QMenu menu;
    w.FillSystemMenu(menu);
    QStringList items;
    for (QAction* pAction : menu.actions())
        items << (pAction->isSeparator() ? QStringLiteral("-") : pAction->text());
    return items;
}

// Runs `body` on the About box opened from the main window's system menu.
bool RunInAboutBox(const std::function<void(QtDialogWindow&)>& body)
{
    bool bRan = false;
    const bool bMainRan = RunInMainWindow([&](QtDialogWindow&, CMimicboxDlg& dlg) {
        WhenOpen<QtDialogWindow>(InnerDialog, [&](QtDialogWindow& about) {
            body(about);
            bRan = true;
            about.EndDialog(IDOK);
        });
        dlg.SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    });
    return bMainRan && bRan;
}

// A control's place in dialog units, as the templates give it. A row names the control by its
// object name, or a static by its text ("icon" for the About box's picture).
struct Placement {
    const char* pszName;
    int x, y, cx, cy;
};

QWidget* FindPlaced(QtDialogWindow& w, const char* pszName)
{
    if (QWidget* pNamed = Control(w, pszName); pNamed && std::strcmp(pszName, "IDC_STATIC") != 0)
        return pNamed;
    const QString text = QString::fromUtf8(pszName);
    for (QLabel* pLabel : w.findChildren<QLabel*>())
        if (pLabel->text() == text || (text == "icon" && !pLabel->pixmap().isNull()))
            return pLabel;
    for (QGroupBox* pGroup : w.findChildren<QGroupBox*>())
        if (pGroup->title() == text)
            return pGroup;
    return nullptr;
}

void ExpectPlacements(QtDialogWindow& w, const std::vector<Placement>& rows)
{
    for (const Placement& row : rows) {
        QWidget* pWidget = FindPlaced(w, row.pszName);
        QVERIFY2(pWidget, row.pszName);
        const QRect expected = w.Units().Rect(row.x, row.y, row.cx, row.cy);
        const QRect actual = pWidget->geometry();
        QCOMPARE(actual.topLeft(), expected.topLeft());
        // A closed list is one line high; a picture takes its image's size.
        if (qobject_cast<QComboBox*>(pWidget))
            QCOMPARE(actual.width(), expected.width());
        else if (auto* pLabel = qobject_cast<QLabel*>(pWidget); pLabel && !pLabel->pixmap().isNull())
            QCOMPARE(actual.size(), pLabel->pixmap().size());
        else
            QCOMPARE(actual.size(), expected.size());
    }
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void freshStartShowsTheThermoBox()
    {
        QVERIFY(RunInMainWindow([](QtDialogWindow& w, CMimicboxDlg&) {
            QCOMPARE(w.windowTitle(), QStringLiteral("Mimicbox"));
            QCOMPARE(Control<QComboBox>(w, "IDC_TYPE")->currentText(), QStringLiteral("Thermo-Box"));
            QCOMPARE(Control<QComboBox>(w, "IDC_SERIAL")->currentText(), QStringLiteral(" 1"));
            QCOMPARE(Control<QLineEdit>(w, "IDC_SERVER")->text(), QStringLiteral("127.0.0.1"));
            QCOMPARE(Control<QLineEdit>(w, "IDC_PORT")->text(), QStringLiteral("54741"));
            QCOMPARE(Control<QLineEdit>(w, "IDC_TEMP")->text(), QStringLiteral("0"));
            for (const char* pszName : {"IDC_TEMP", "IDC_SEND", "IDC_UP", "IDC_UP_FAST", "IDC_DOWN", "IDC_DOWN_FAST",
                                        "IDC_PICTURE", "IDC_TEMP_UNIT", "IDC_TEMP_LABEL"})
                QVERIFY2(Control(w, pszName)->isVisible(), pszName);
            QVERIFY(!Control(w, "IDC_LED_OFF")->isVisible());
            QVERIFY(!Control(w, "IDC_LED_ON")->isVisible());
            QVERIFY(!Control(w, "IDC_SEND")->isEnabled());
            QCOMPARE(w.focusWidget(), Control(w, "IDOK"));
            QCOMPARE(Control(w, "IDC_LED_OFF")->accessibleName(), QStringLiteral("Aus"));
            QCOMPARE(Control(w, "IDC_LED_ON")->accessibleName(), QStringLiteral("Ein"));
            QCOMPARE(Control<QLabel>(w, "IDC_TEMP_UNIT")->text(), QString::fromUtf8("°C"));
        }));
    }

    void everyCaptionFitsItsControl()
    {
        QVERIFY(RunInMainWindow([](QtDialogWindow& w, CMimicboxDlg&) {
            for (QLabel* pLabel : w.findChildren<QLabel*>())
                if (!pLabel->text().isEmpty())
                    QVERIFY2(pLabel->fontMetrics().horizontalAdvance(pLabel->text()) <= pLabel->width(),
                             qPrintable(pLabel->text()));
            for (QPushButton* pButton : w.findChildren<QPushButton*>())
                QVERIFY2(pButton->fontMetrics().horizontalAdvance(pButton->text()) < pButton->width(),
                         qPrintable(pButton->text()));
        }));
    }

    void modelAndSerialChangeInBothDirections()
    {
        QVERIFY(RunInMainWindow([](QtDialogWindow& w, CMimicboxDlg& dlg) {
            auto* pSerial = Control<QComboBox>(w, "IDC_SERIAL");
            auto* pType = Control<QComboBox>(w, "IDC_TYPE");
            QTest::mouseClick(pSerial, Qt::LeftButton);
            for (int i = 0; i < 4; ++i)
                QTest::keyClick(pSerial, Qt::Key_Down);
            QCOMPARE(dlg.Serial(), 5);
            QTest::mouseClick(pType, Qt::LeftButton);
            QTest::keyClick(pType, Qt::Key_Down);
            QCOMPARE(dlg.DeviceType(), 8);
            QCOMPARE(dlg.Serial(), 1005);
            QCOMPARE(pSerial->currentText(), QStringLiteral(" 1005"));
            QVERIFY(Control(w, "IDC_LED_ON")->isVisible());
            QVERIFY(!Control(w, "IDC_TEMP")->isVisible());
            QCOMPARE(dlg.Timer(), ID_REPORT_TIMER);
            QTest::keyClick(pType, Qt::Key_Up);
            QCOMPARE(dlg.DeviceType(), 16);
            QCOMPARE(dlg.Serial(), 5);
            QCOMPARE(pSerial->currentText(), QStringLiteral(" 5"));
            QCOMPARE(dlg.Timer(), UINT_PTR{0});
        }));
    }

    void typedListTextChangesNothing()
    {
        QVERIFY(RunInMainWindow([](QtDialogWindow& w, CMimicboxDlg& dlg) {
            auto* pSerial = Control<QComboBox>(w, "IDC_SERIAL");
            QTest::mouseClick(pSerial, Qt::LeftButton);
            pSerial->lineEdit()->selectAll();
            QTest::keyClicks(pSerial, QStringLiteral(" 7"));
            QTest::keyClick(pSerial, Qt::Key_Tab);
            QCOMPARE(dlg.Serial(), 1);
            QCOMPARE(pSerial->count(), 16);
            QCOMPARE(pSerial->currentIndex(), 0);
        }));
    }

    void quitWithAnInvalidTemperatureStaysOpen()
    {
        QVERIFY(RunInMainWindow([](QtDialogWindow& w, CMimicboxDlg&) {
            auto* pTemp = Control<QLineEdit>(w, "IDC_TEMP");
            pTemp->selectAll();
            QTest::keyClicks(pTemp, QStringLiteral("200"));
            QString text;
            DismissNextBox(&text);
            QTest::mouseClick(Control(w, "IDOK"), Qt::LeftButton);
            QCOMPARE(text, QStringLiteral("Bitte geben Sie eine Zahl zwischen -30 und 150 ein."));
            QVERIFY(!w.Ended());
            QCOMPARE(w.focusWidget(), pTemp);
            // Under a German locale a comma is still no decimal point.
            pTemp->setText(QStringLiteral("21,5"));
            DismissNextBox(&text);
            QTest::mouseClick(Control(w, "IDOK"), Qt::LeftButton);
            QCOMPARE(text, QStringLiteral("Bitte geben Sie eine Zahl ein."));
            pTemp->setText(QStringLiteral("21.5"));
            QTest::mouseClick(Control(w, "IDOK"), Qt::LeftButton);
            QVERIFY(w.Ended());
        }));
    }

    void escapeAndTheCloseBoxEndWithoutReadingTheFields()
    {
        QVERIFY(RunInMainWindow([](QtDialogWindow& w, CMimicboxDlg&) {
            Control<QLineEdit>(w, "IDC_PORT")->setText(QStringLiteral("port"));
            QTest::keyClick(&w, Qt::Key_Escape);
            QVERIFY(w.Ended());
            QCOMPARE(w.result(), IDCANCEL);
        }));
        QVERIFY(RunInMainWindow([](QtDialogWindow& w, CMimicboxDlg&) {
            Control<QLineEdit>(w, "IDC_TEMP")->setText(QStringLiteral("999"));
            w.close();
            QVERIFY(w.Ended());
            QCOMPARE(w.result(), IDCANCEL);
        }));
    }

    void tabVisitsTheVisibleEnabledControlsInTemplateOrder()
    {
        QVERIFY(RunInMainWindow([](QtDialogWindow& w, CMimicboxDlg&) {
            QStringList visited;
            for (int i = 0; i < 11; ++i) {
                visited << w.focusWidget()->objectName();
                QTest::keyClick(w.focusWidget(), Qt::Key_Tab);
            }
            const QStringList expected = {"IDOK",     "IDC_DOWN",   "IDC_UP_FAST", "IDC_UP",
                                          "IDC_DOWN_FAST", "IDC_TEMP", "IDC_SERVER",  "IDC_PORT",
                                          "IDC_CONNECT",   "IDC_TYPE", "IDC_SERIAL"};
            QCOMPARE(visited, expected);
            QCOMPARE(w.focusWidget()->objectName(), QStringLiteral("IDOK"));
        }));
    }

    void relayBoxTabVisitsTheIndicatorsAndSkipsTheHiddenControls()
    {
        QVERIFY(RunInMainWindow([](QtDialogWindow& w, CMimicboxDlg&) {
            auto* pType = Control<QComboBox>(w, "IDC_TYPE");
            QTest::mouseClick(pType, Qt::LeftButton);
            QTest::keyClick(pType, Qt::Key_Down);
            Control(w, "IDOK")->setFocus();
            QStringList visited;
            for (int i = 0; i < 8; ++i) {
                visited << w.focusWidget()->objectName();
                QTest::keyClick(w.focusWidget(), Qt::Key_Tab);
            }
            const QStringList expected = {"IDOK",     "IDC_SERVER", "IDC_PORT",    "IDC_CONNECT",
                                          "IDC_TYPE", "IDC_SERIAL", "IDC_LED_OFF", "IDC_LED_ON"};
            QCOMPARE(visited, expected);
            QCOMPARE(w.focusWidget()->objectName(), QStringLiteral("IDOK"));
        }));
    }

    void everyControlSitsWhereItsTemplatePutsIt()
    {
        QVERIFY(RunInMainWindow([](QtDialogWindow& w, CMimicboxDlg&) {
            ExpectPlacements(w, {
                {"IDOK", 175, 35, 50, 14},          {"IDC_PICTURE", 74, 125, 80, 58},
                {"IDC_DOWN", 30, 130, 36, 18},      {"IDC_UP_FAST", 170, 160, 36, 18},
                {"IDC_UP", 170, 130, 36, 18},       {"IDC_DOWN_FAST", 30, 160, 36, 18},
                {"IDC_TEMP", 75, 192, 40, 12},      {"IDC_TEMP_UNIT", 123, 194, 15, 10},
                {"IDC_TEMP_LABEL", 30, 194, 39, 10}, {"IDC_SERVER", 13, 90, 82, 12},
                {"Name oder IP-Nummer", 12, 78, 85, 10}, {"IDC_PORT", 115, 90, 39, 12},
                {"Port", 116, 78, 20, 10},          {"IDC_CONNECT", 173, 89, 50, 14},
                {"IDC_SEND", 150, 192, 45, 14},     {"Server", 5, 65, 230, 50},
                {"IDC_TYPE", 50, 10, 65, 45},       {"Gerätetyp", 7, 11, 33, 10},
                {"IDC_SERIAL", 62, 35, 53, 105},    {"Seriennummer", 5, 36, 50, 10},
                {"IDC_LED_OFF", 90, 125, 45, 40},   {"IDC_LED_ON", 90, 170, 45, 40},
            });
            QCOMPARE(w.size(), w.Units().Rect(0, 0, 242, 221).size());
        }));
        QVERIFY(RunInAboutBox([](QtDialogWindow& about) {
            ExpectPlacements(about, {
                {"icon", 11, 17, 20, 20},
                {"Mimicbox Version 4.2.3", 40, 10, 119, 8},
                {"IDOK", 178, 7, 50, 14},
            });
            QCOMPARE(about.size(), about.Units().Rect(0, 0, 235, 55).size());
        }));
    }

    void serialListDropsDownAsFarAsItsTemplateHeight()
    {
        QVERIFY(RunInMainWindow([](QtDialogWindow& w, CMimicboxDlg&) {
            // 105 units are 171 px; below the closed box's line that leaves room for 11 lines of 13 px.
            QCOMPARE(Control<QComboBox>(w, "IDC_SERIAL")->maxVisibleItems(), 11);
            QVERIFY(Control<QComboBox>(w, "IDC_TYPE")->maxVisibleItems() >= 2);
        }));
    }

    void framesOfferWhatTheirTemplatesOffer()
    {
        QVERIFY(RunInMainWindow([](QtDialogWindow& w, CMimicboxDlg&) {
            QVERIFY(w.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
            QVERIFY(!w.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
            QCOMPARE(SystemMenuItems(w), (QStringList{"&Verschieben", "Mi&nimieren", "-",
                                                      QString::fromUtf8("&Schließen"), "-",
                                                      QString::fromUtf8("Inf&o über Mimicbox...")}));
        }));
        QVERIFY(RunInAboutBox([](QtDialogWindow& about) {
            QVERIFY(!about.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
            QVERIFY(!about.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
            QCOMPARE(SystemMenuItems(about), (QStringList{"&Verschieben", "-", QString::fromUtf8("&Schließen")}));
        }));
        // Move and close always; minimise, maximise and sizing only with their styles.
        struct Row {
            UINT nStyle;
            MotifHints hints;
        };
        const Row rows[] = {
            {WindowStyle::SysMenu | WindowStyle::MinimizeBox, {3, 0x2c, 0x3a, 0, 0}},
            {WindowStyle::SysMenu, {3, 0x24, 0x1a, 0, 0}},
            {WindowStyle::SysMenu | WindowStyle::MaximizeBox | WindowStyle::ThickFrame, {3, 0x36, 0x5e, 0, 0}},
        };
        for (const Row& row : rows)
            QVERIFY(MotifHintsFor(row.nStyle) == row.hints);
    }

    void stepButtonClickCountsOnceAndShowsPressed()
    {
        QVERIFY(RunInMainWindow([](QtDialogWindow& w, CMimicboxDlg& dlg) {
            auto* pUp = Control<HighlightButton>(w, "IDC_UP");
            QTest::mouseClick(pUp, Qt::LeftButton);
            QCOMPARE(dlg.StepMode(), 1);
            QVERIFY(pUp->highlight());
            QVERIFY(!pUp->isDown());
            // A release without a press is no click.
            QTest::mouseRelease(pUp, Qt::LeftButton);
            QCOMPARE(dlg.StepMode(), 1);
            QTest::keyClick(pUp, Qt::Key_Space);
            QCOMPARE(dlg.StepMode(), 0);
            QVERIFY(!pUp->highlight());
        }));
    }

    void systemMenuOpensTheAboutBox()
    {
        QVERIFY(RunInMainWindow([](QtDialogWindow& w, CMimicboxDlg&) {
            QStringList items;
            QString aboutTitle;
            QString aboutText;
            WhenOpen<QMenu>(ActivePopupOrModal<QMenu>, [&](QMenu& menu) {
                for (QAction* pAction : menu.actions())
                    items << (pAction->isSeparator() ? QStringLiteral("-") : pAction->text());
                WhenOpen<QtDialogWindow>(InnerDialog, [&](QtDialogWindow& about) {
                    aboutTitle = about.windowTitle();
                    for (QLabel* pLabel : about.findChildren<QLabel*>())
                        aboutText += pLabel->text();
                    QTest::keyClick(&about, Qt::Key_Escape);
                });
                menu.setActiveAction(menu.actions().last());
                QTest::keyClick(&menu, Qt::Key_Return);
            });
            // The shortcut acts in the active window only.
            QVERIFY(QTest::qWaitForWindowActive(&w));
            QTest::keyClick(w.focusWidget(), Qt::Key_Space, Qt::AltModifier);
            QTRY_COMPARE(aboutTitle, QString::fromUtf8("Info über Mimicbox"));
            const QStringList expected = {"&Verschieben", "Mi&nimieren", "-", QString::fromUtf8("&Schließen"), "-",
                                          QString::fromUtf8("Inf&o über Mimicbox...")};
            QCOMPARE(items, expected);
            QCOMPARE(aboutText, QStringLiteral("Mimicbox Version 4.2.3"));
            QVERIFY(!w.Ended());
        }));
    }
};

int main(int argc, char* argv[])
{
    MainWindowTest test;
    return RunQtTests(test, argc, argv);
}

#include "MainWindowTest.moc"
