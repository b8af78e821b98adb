// The whole program on the real Qt window (offscreen) against a device server on loopback.
#include <QComboBox>
#include <QLineEdit>
#include <QtTest/QTest>
#include <chrono>
#include <cmath>
#include <ctime>
#include <string>
#include <vector>

#include "link/Record.h"
#include "platform/qt/HighlightButton.h"
#include "tests/LoopbackServer.h"
#include "tests/qt/QtTestSupport.h"

namespace {

struct Report {
    std::chrono::steady_clock::time_point arrival;
    mimicbox::RecordHeader header;
    long long nClock = 0;
    std::string strValue;  // the temperature or "switch, 0"
};

// Collects the server's side of the conversation while the Qt loop runs.
class ServerView {
public:
    explicit ServerView(LoopbackServer& server) : m_server(server) {}

    // Waits, with the Qt loop running, until n reports in all have arrived.
    bool WaitForReports(std::size_t n, int nTimeoutMs)
    {
        return QTest::qWaitFor(
            [&] {
                Collect();
                return m_reports.size() >= n;
            },
            nTimeoutMs);
    }
    const std::vector<Report>& Reports()
    {
        Collect();
        return m_reports;
    }
    std::size_t BrokenRecords() const { return m_nBroken; }

private:
    void Collect()
    {
        m_pending += m_server.ReadAvailable();
        for (std::size_t nNul; (nNul = m_pending.find('\0')) != std::string::npos;) {
            const std::string record = m_pending.substr(0, nNul);
            m_pending.erase(0, nNul + 1);
            Report report;
            report.arrival = std::chrono::steady_clock::now();
            const std::string_view body = mimicbox::RecordBody(record);
            const std::size_t nComma = body.find(", ");
            if (!mimicbox::ParseHeader(record, report.header) || nComma == std::string_view::npos ||
                body.empty() || body.back() != ';') {
                ++m_nBroken;
                continue;
            }
            report.nClock = std::stoll(std::string(body.substr(0, nComma)));
            report.strValue = std::string(body.substr(nComma + 2, body.size() - nComma - 3));
            m_reports.push_back(report);
        }
    }

    LoopbackServer& m_server;
    std::string m_pending;
    std::vector<Report> m_reports;
    std::size_t m_nBroken = 0;
};

void Connect(QtDialogWindow& w, LoopbackServer& server)
{
    auto* pPort = Control<QLineEdit>(w, "IDC_PORT");
    pPort->setText(QString::number(server.Port()));
    QTest::mouseClick(Control(w, "IDC_CONNECT"), Qt::LeftButton);
    QVERIFY(server.Accept());
}

void TypeInto(QLineEdit* pEdit, const QString& text)
{
    QTest::mouseClick(pEdit, Qt::LeftButton);
    pEdit->selectAll();
    QTest::keyClicks(pEdit, text);
}

QColor CentrePixel(QtDialogWindow& w, const char* pszName)
{
    QWidget* pWidget = Control(w, pszName);
    const QImage image = w.grab().toImage();
    return image.pixelColor(pWidget->geometry().center() * image.devicePixelRatio());
}

}  // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void thermoBoxReportsRisingTemperatures()
    {
        LoopbackServer server;
        QVERIFY(RunInMainWindow([&](QtDialogWindow& w, CMimicboxDlg&) {
            ServerView view(server);
            auto* pTemp = Control<QLineEdit>(w, "IDC_TEMP");
            TypeInto(pTemp, QStringLiteral("21.5"));
            Connect(w, server);
            QTest::mouseClick(Control(w, "IDC_SEND"), Qt::LeftButton);
            QTest::mouseClick(Control(w, "IDC_UP_FAST"), Qt::LeftButton);
            QVERIFY(view.WaitForReports(3, 8000));
            const auto& reports = view.Reports();
            const long long nNow = static_cast<long long>(std::time(nullptr));
            double fPrevious = 21.5;
            for (std::size_t i = 0; i < 3; ++i) {
                QCOMPARE(reports[i].header[0], 16);
                QCOMPARE(reports[i].header[1], 1);
                QCOMPARE(reports[i].header[6], 10);
                QVERIFY(std::llabs(reports[i].nClock - nNow) <= 5);
                // Six decimals with a point whatever the locale, 0.1 more each report.
                const QString value = QString::fromStdString(reports[i].strValue);
                QVERIFY2(value.size() - value.indexOf(QLatin1Char('.')) == 7, qPrintable(value));
                const double fValue = value.toDouble();
                QVERIFY2(std::abs(fValue - fPrevious - 0.1) < 1e-4, qPrintable(value));
                fPrevious = fValue;
            }
            QCOMPARE(view.BrokenRecords(), std::size_t{0});

            TypeInto(pTemp, QStringLiteral("149.95"));
            QVERIFY(view.WaitForReports(5, 4000));
            QCOMPARE(QString::fromStdString(view.Reports()[4].strValue), QStringLiteral("150.000000"));

            QString box;
            DismissNextBox(&box);
            TypeInto(pTemp, QStringLiteral("200"));
            QTRY_VERIFY_WITH_TIMEOUT(!box.isEmpty(), 3000);
            const std::size_t nSent = view.Reports().size();
            QTest::qWait(2000);
            QCOMPARE(view.Reports().size(), nSent);
            QVERIFY(!Control<HighlightButton>(w, "IDC_SEND")->highlight());
            QVERIFY(Control<HighlightButton>(w, "IDC_UP_FAST")->highlight());
        }));
    }

    void relayBoxFollowsTheServersToggleAndTheIndicators()
    {
        LoopbackServer server;
        QVERIFY(RunInMainWindow([&](QtDialogWindow& w, CMimicboxDlg&) {
            ServerView view(server);
            auto* pType = Control<QComboBox>(w, "IDC_TYPE");
            auto* pSerial = Control<QComboBox>(w, "IDC_SERIAL");
            QTest::mouseClick(pType, Qt::LeftButton);
            QTest::keyClick(pType, Qt::Key_Down);
            QTest::mouseClick(pSerial, Qt::LeftButton);
            QTest::keyClick(pSerial, Qt::Key_Down);
            QTest::keyClick(pSerial, Qt::Key_Down);
            Connect(w, server);
            QVERIFY(view.WaitForReports(4, 3000));
            // Three periods of 500 ms between the first and the fourth report.
            const auto span = view.Reports()[3].arrival - view.Reports()[0].arrival;
            QVERIFY(span > std::chrono::milliseconds(1400) && span < std::chrono::milliseconds(1600));
            QCOMPARE(view.Reports()[0].header[0], 8);
            QCOMPARE(view.Reports()[0].header[1], 1003);
            QCOMPARE(QString::fromStdString(view.Reports()[1].strValue), QStringLiteral("0, 0"));
            QCOMPARE(CentrePixel(w, "IDC_LED_OFF"), QColor(255, 0, 0));

            QVERIFY(server.Write(std::string("TolvarkControl: 8, 1003, 4, 0, 0, 1, 11;") + '\0'));
            QTRY_COMPARE_WITH_TIMEOUT(CentrePixel(w, "IDC_LED_ON"), QColor(0, 255, 0), 2000);
            QVERIFY(CentrePixel(w, "IDC_LED_OFF") != QColor(255, 0, 0));
            const std::size_t nBefore = view.Reports().size();
            QVERIFY(view.WaitForReports(nBefore + 1, 2000));
            QCOMPARE(QString::fromStdString(view.Reports().back().strValue), QStringLiteral("1, 0"));

            QTest::mouseClick(Control(w, "IDC_LED_OFF"), Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(CentrePixel(w, "IDC_LED_OFF"), QColor(255, 0, 0), 2000);
            const std::size_t nAfter = view.Reports().size();
            QVERIFY(view.WaitForReports(nAfter + 1, 2000));
            QCOMPARE(QString::fromStdString(view.Reports().back().strValue), QStringLiteral("0, 0"));
        }));
    }

    void serverCloseLeavesTheProgramRunningAndConnectWorksAgain()
    {
        LoopbackServer server;
        QVERIFY(RunInMainWindow([&](QtDialogWindow& w, CMimicboxDlg& dlg) {
            auto* pType = Control<QComboBox>(w, "IDC_TYPE");
            QTest::mouseClick(pType, Qt::LeftButton);
            QTest::keyClick(pType, Qt::Key_Down);
            Connect(w, server);
            server.CloseClient();
            QTRY_VERIFY_WITH_TIMEOUT(dlg.Socket() == nullptr, 2000);
            QVERIFY(!w.Ended());
            Connect(w, server);
            ServerView view(server);
            QVERIFY(view.WaitForReports(2, 2000));
        }));
    }
};

int main(int argc, char* argv[])
{
    EndToEndTest test;
    return RunQtTests(test, argc, argv);
}

#include "EndToEndTest.moc"
