#include "platform/qt/QtSocketLoop.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include "platform/Socket.h"

QtSocketLoop::QtSocketLoop() = default;

QtSocketLoop::~QtSocketLoop()
{
    for (auto& [fd, entry] : m_watches)
        delete entry.pNotifier;
}

void QtSocketLoop::Watch(int fd, bool bWrite, CAsyncSocket* pSocket)
{
    Unwatch(fd);
    auto* pNotifier = new QSocketNotifier(fd, bWrite ? QSocketNotifier::Write : QSocketNotifier::Read);
    QObject::connect(pNotifier, &QSocketNotifier::activated, pNotifier, [this, fd] { OnActivated(fd); });
    m_watches[fd] = Entry{pNotifier, pSocket, bWrite};
}

void QtSocketLoop::Unwatch(int fd)
{
    auto it = m_watches.find(fd);
    if (it == m_watches.end())
        return;
    // The notifier may be the one whose signal is running now.
    it->second.pNotifier->setEnabled(false);
    it->second.pNotifier->deleteLater();
    m_watches.erase(it);
}

void QtSocketLoop::OnActivated(int fd)
{
    auto it = m_watches.find(fd);
    if (it == m_watches.end())
        return;
    CAsyncSocket* pSocket = it->second.pSocket;
    // The handler may destroy the socket and with it this watch.
    if (it->second.bWrite)
        pSocket->OnWritable();
    else
        pSocket->OnReadable();
}

bool QtSocketLoop::WaitForSocket(int fd, bool bWrite, Deadline deadline)
{
    const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (remaining.count() <= 0)
        return false;
    QEventLoop loop;
    bool bReady = false;
    QSocketNotifier notifier(fd, bWrite ? QSocketNotifier::Write : QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &loop, [&] {
        bReady = true;
        notifier.setEnabled(false);
        loop.quit();
    });
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(static_cast<int>(remaining.count()));
    // Windows repaint and timers tick meanwhile; user input waits until the call returns.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return bReady;
}
