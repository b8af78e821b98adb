// The main window on the real Qt widgets, driven by simulated mouse and keyboard.
#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest/QTest>

#include "platform/qt/HighlightButton.h"
#include "tests/qt/QtTestSupport.h"
#include "ui/res/Resource.h"

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
            const QStringList expected = {"&Verschieben", "Mi&nimieren", QString::fromUtf8("&Schließen"), "-",
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
