// The main window on the real Qt widgets, driven by simulated mouse and keyboard.
#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <functional>

#include "platform/qt/HighlightButton.h"
#include "platform/qt/QtDialogWindow.h"
#include "platform/qt/QtWindowSystem.h"
#include "ui/MimicboxDlg.h"
#include "ui/res/Resource.h"
#include "ui/res/Resources.h"

namespace {

QtWindowSystem* g_pSystem = nullptr;

template <typename T = QWidget>
T* Control(QWidget& window, const char* pszName)
{
    return window.findChild<T*>(QString::fromLatin1(pszName));
}

// Runs `action` on the window that `find` returns, once it returns one.
template <typename T>
void WhenOpen(std::function<T*()> find, std::function<void(T&)> action)
{
    auto* pTimer = new QTimer;
    pTimer->setInterval(20);
    QObject::connect(pTimer, &QTimer::timeout, [pTimer, find, action] {
        T* pWindow = find();
        if (!pWindow)
            return;
        pTimer->stop();
        pTimer->deleteLater();
        action(*pWindow);
    });
    pTimer->start();
}

template <typename T>
T* ActivePopupOrModal()
{
    if (T* pPopup = qobject_cast<T*>(QApplication::activePopupWidget()))
        return pPopup;
    return qobject_cast<T*>(QApplication::activeModalWidget());
}

// The window of a dialog that the main dialog runs.
QtDialogWindow* InnerDialog()
{
    const auto& windows = g_pSystem->OpenWindows();
    return windows.size() > 1 ? windows.back() : nullptr;
}

// Dismisses the next message box and returns its text through pText.
void DismissNextBox(QString* pText)
{
    WhenOpen<QMessageBox>(ActivePopupOrModal<QMessageBox>, [pText](QMessageBox& box) {
        *pText = box.text();
        box.button(QMessageBox::Ok)->click();
    });
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    // Runs the main dialog modally and `body` inside its loop; the dialog is cancelled afterwards.
    void RunInMainWindow(const std::function<void(QtDialogWindow&, CMimicboxDlg&)>& body)
    {
        CMimicboxDlg dlg;
        bool bRan = false;
        QTimer::singleShot(0, [&] {
            QtDialogWindow& window = *g_pSystem->OpenWindows().back();
            window.setObjectName(QStringLiteral("IDD_MAIN"));
            body(window, dlg);
            bRan = true;
            if (!window.Ended())
                window.EndDialog(IDCANCEL);
        });
        dlg.DoModal();
        QVERIFY(bRan);
    }

private slots:
    void freshStartShowsTheThermoBox()
    {
        RunInMainWindow([](QtDialogWindow& w, CMimicboxDlg&) {
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
        });
    }

    void everyCaptionFitsItsControl()
    {
        RunInMainWindow([](QtDialogWindow& w, CMimicboxDlg&) {
            for (QLabel* pLabel : w.findChildren<QLabel*>())
                if (!pLabel->text().isEmpty())
                    QVERIFY2(pLabel->fontMetrics().horizontalAdvance(pLabel->text()) <= pLabel->width(),
                             qPrintable(pLabel->text()));
            for (QPushButton* pButton : w.findChildren<QPushButton*>())
                QVERIFY2(pButton->fontMetrics().horizontalAdvance(pButton->text()) < pButton->width(),
                         qPrintable(pButton->text()));
        });
    }

    void modelAndSerialChangeInBothDirections()
    {
        RunInMainWindow([](QtDialogWindow& w, CMimicboxDlg& dlg) {
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
        });
    }

    void typedListTextChangesNothing()
    {
        RunInMainWindow([](QtDialogWindow& w, CMimicboxDlg& dlg) {
            auto* pSerial = Control<QComboBox>(w, "IDC_SERIAL");
            QTest::mouseClick(pSerial, Qt::LeftButton);
            pSerial->lineEdit()->selectAll();
            QTest::keyClicks(pSerial, QStringLiteral(" 7"));
            QTest::keyClick(pSerial, Qt::Key_Tab);
            QCOMPARE(dlg.Serial(), 1);
            QCOMPARE(pSerial->count(), 16);
            QCOMPARE(pSerial->currentIndex(), 0);
        });
    }

    void quitWithAnInvalidTemperatureStaysOpen()
    {
        RunInMainWindow([](QtDialogWindow& w, CMimicboxDlg&) {
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
        });
    }

    void escapeEndsWithoutReadingTheFields()
    {
        RunInMainWindow([](QtDialogWindow& w, CMimicboxDlg&) {
            Control<QLineEdit>(w, "IDC_PORT")->setText(QStringLiteral("port"));
            QTest::keyClick(&w, Qt::Key_Escape);
            QVERIFY(w.Ended());
        });
    }

    void tabVisitsTheVisibleEnabledControlsInTemplateOrder()
    {
        RunInMainWindow([](QtDialogWindow& w, CMimicboxDlg&) {
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
        });
    }

    void stepButtonClickCountsOnceAndShowsPressed()
    {
        RunInMainWindow([](QtDialogWindow& w, CMimicboxDlg& dlg) {
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
        });
    }

    void systemMenuOpensTheAboutBox()
    {
        RunInMainWindow([](QtDialogWindow& w, CMimicboxDlg&) {
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
        });
    }
};

int main(int argc, char* argv[])
{
    QtWindowSystem system(argc, argv);
    g_pSystem = &system;
    AfxSetResources(&MimicboxResources());
    AfxSetWindowSystem(&system);
    MainWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "MainWindowTest.moc"
