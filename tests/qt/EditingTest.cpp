// The user's editing on the real widgets while the report cycle writes the fields back: the caret,
// the selection and the undo history survive every write-back that leaves a text as it was.
#include <QComboBox>
#include <QLineEdit>
#include <QtTest/QTest>
#include <string>

#include "tests/LoopbackServer.h"
#include "tests/qt/QtTestSupport.h"
#include "ui/res/Resource.h"

namespace {

const std::string kToggle = std::string("TolvarkControl: 8, 1001, 4, 0, 0, 1, 11;") + '\0';

void ChooseRelayBox(QtDialogWindow& w)
{
    auto* pType = Control<QComboBox>(w, "IDC_TYPE");
    QTest::mouseClick(pType, Qt::LeftButton);
    QTest::keyClick(pType, Qt::Key_Down);
}

void ConnectTo(QtDialogWindow& w, LoopbackServer& server)
{
    Control<QLineEdit>(w, "IDC_PORT")->setText(QString::number(server.Port()));
    QTest::mouseClick(Control(w, "IDC_CONNECT"), Qt::LeftButton);
    QVERIFY(server.Accept());
}

// Appends text as the user would, so that the field has an undo step.
void TypeAtEnd(QLineEdit* pEdit, const QString& appended)
{
    QTest::mouseClick(pEdit, Qt::LeftButton);
    pEdit->end(false);
    QTest::keyClicks(pEdit, appended);
}

// Everything of an edit field that a needless write would destroy.
struct EditState {
    QString text;
    int nCursor;
    int nSelectionStart;
    QString selected;
    bool bUndo;

    explicit EditState(const QLineEdit& edit)
        : text(edit.text()), nCursor(edit.cursorPosition()), nSelectionStart(edit.selectionStart()),
          selected(edit.selectedText()), bUndo(edit.isUndoAvailable())
    {
    }
    bool operator==(const EditState&) const = default;
};

// Waits for the next report at the server, the Qt loop running meanwhile.
bool WaitForRecord(LoopbackServer& server, std::string& received, int nTimeoutMs)
{
    return QTest::qWaitFor(
        [&] {
            received += server.ReadAvailable();
            return received.find('\0') != std::string::npos;
        },
        nTimeoutMs);
}

}  // namespace

class EditingTest : public QObject {
    Q_OBJECT

private slots:
    void serverFieldTypedOverASelectionAcrossATickKeepsOnlyTheNewText()
    {
        LoopbackServer server;
        QVERIFY(RunInMainWindow([&](QtDialogWindow& w, CMimicboxDlg& dlg) {
            ChooseRelayBox(w);
            auto* pServer = Control<QLineEdit>(w, "IDC_SERVER");
            pServer->setText(QStringLiteral("no-such-host.invalid"));
            QTest::mouseClick(pServer, Qt::LeftButton);
            pServer->selectAll();
            QTest::qWait(1100);
            QTest::keyClicks(pServer, QStringLiteral("127.0.0.1"));
            QCOMPARE(pServer->text(), QStringLiteral("127.0.0.1"));
            ConnectTo(w, server);
            QVERIFY(dlg.Socket() != nullptr);
        }));
    }

    void temperatureTypedOverASelectionAcrossATickIsReportedAsTyped()
    {
        LoopbackServer server;
        QVERIFY(RunInMainWindow([&](QtDialogWindow& w, CMimicboxDlg&) {
            auto* pTemp = Control<QLineEdit>(w, "IDC_TEMP");
            pTemp->setText(QStringLiteral("21.5"));
            ConnectTo(w, server);
            QTest::mouseClick(Control(w, "IDC_SEND"), Qt::LeftButton);
            QTest::mouseClick(pTemp, Qt::LeftButton);
            pTemp->selectAll();
            std::string received;
            QVERIFY(WaitForRecord(server, received, 3000));
            QTest::keyClicks(pTemp, QStringLiteral("42"));
            received.clear();
            QVERIFY(WaitForRecord(server, received, 3000));
            QVERIFY2(received.find(", 42.000000;") != std::string::npos, received.c_str());
        }));
    }

    void ticksAndSwitchCommandsLeaveCaretSelectionAndUndo()
    {
        QVERIFY(RunInMainWindow([&](QtDialogWindow& w, CMimicboxDlg& dlg) {
            ChooseRelayBox(w);
            auto* pServer = Control<QLineEdit>(w, "IDC_SERVER");
            auto* pPort = Control<QLineEdit>(w, "IDC_PORT");
            auto* pTemp = Control<QLineEdit>(w, "IDC_TEMP");
            TypeAtEnd(pPort, QStringLiteral("1"));
            TypeAtEnd(pServer, QStringLiteral("x"));
            // The hidden temperature field still takes part in every exchange.
            pTemp->setText(QStringLiteral("21.5"));
            QTest::qWait(600);
            pServer->setSelection(2, 3);
            pPort->setSelection(1, 2);
            pTemp->setSelection(1, 2);
            const EditState server(*pServer);
            const EditState port(*pPort);
            const EditState temp(*pTemp);

            QTest::qWait(1100);
            dlg.OnReceiveData(kToggle.data(), static_cast<int>(kToggle.size()) - 1);
            QCOMPARE(dlg.SwitchState(), 1);
            QCOMPARE(EditState(*pServer), server);
            QCOMPARE(EditState(*pPort), port);
            QCOMPARE(EditState(*pTemp), temp);
            QVERIFY(server.bUndo && port.bUndo);
            QCOMPARE(server.selected, QStringLiteral("7.0"));
        }));
    }

    void aChangedTextLeavesTheCaretAtTheStartWithNothingSelected()
    {
        QVERIFY(RunInMainWindow([&](QtDialogWindow& w, CMimicboxDlg&) {
            ChooseRelayBox(w);
            auto* pTemp = Control<QLineEdit>(w, "IDC_TEMP");
            pTemp->setText(QStringLiteral("05"));
            pTemp->setSelection(1, 1);
            // The next tick reads 5 and writes it back in its own form.
            QTRY_COMPARE_WITH_TIMEOUT(pTemp->text(), QStringLiteral("5"), 1000);
            QCOMPARE(pTemp->cursorPosition(), 0);
            QVERIFY(!pTemp->hasSelectedText());
            QVERIFY(!pTemp->isUndoAvailable());
        }));
    }
};

int main(int argc, char* argv[])
{
    EditingTest test;
    return RunQtTests(test, argc, argv);
}

#include "EditingTest.moc"
