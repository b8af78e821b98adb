#include "tools/EventLoop.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <vector>

namespace mimicbox {

namespace {

int g_signalWriteFd = -1;

void ForwardSignal(int nSignal)
{
    const int nSaved = errno;
    const unsigned char byte = static_cast<unsigned char>(nSignal);
    [[maybe_unused]] const ssize_t n = ::write(g_signalWriteFd, &byte, 1);
    errno = nSaved;
}

}  // namespace

EventLoop::EventLoop() = default;

EventLoop::~EventLoop()
{
    if (m_signalPipe[0] >= 0) {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        g_signalWriteFd = -1;
        ::close(m_signalPipe[0]);
        ::close(m_signalPipe[1]);
    }
}

void EventLoop::Watch(int fd, short events, Handler onReady) { m_watches[fd] = {events, std::move(onReady)}; }

void EventLoop::Unwatch(int fd) { m_watches.erase(fd); }

int EventLoop::At(Clock::time_point when, std::function<void()> onTimer)
{
    const int nId = m_nNextTimerId++;
    m_timers.emplace(when, std::make_pair(nId, std::move(onTimer)));
    return nId;
}

void EventLoop::Cancel(int nTimerId)
{
    for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
        if (it->second.first == nTimerId) {
            m_timers.erase(it);
            return;
        }
    }
}

void EventLoop::OnTerminationSignal(std::function<void(int)> onSignal)
{
    if (m_signalPipe[0] < 0 && ::pipe2(m_signalPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        g_signalWriteFd = m_signalPipe[1];
        struct sigaction action {};
        action.sa_handler = ForwardSignal;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, nullptr);
        ::sigaction(SIGTERM, &action, nullptr);
    }
    m_onSignal = std::move(onSignal);
    Watch(m_signalPipe[0], POLLIN, [this](short) {
        unsigned char byte = 0;
        while (::read(m_signalPipe[0], &byte, 1) == 1)
            if (m_onSignal)
                m_onSignal(byte);
    });
}

void EventLoop::Run()
{
    while (!m_bStopped) {
        RunDueTimers();
        if (m_bStopped)
            break;
        const bool bOnlySignals = m_watches.size() == (m_signalPipe[0] >= 0 ? 1u : 0u);
        if (bOnlySignals && m_timers.empty())
            break;
        std::vector<pollfd> fds;
        fds.reserve(m_watches.size());
        for (const auto& [fd, watch] : m_watches)
            fds.push_back(pollfd{fd, watch.first, 0});
        const int nReady = ::poll(fds.data(), fds.size(), PollTimeoutMs());
        if (nReady < 0 && errno != EINTR)
            break;
        for (const pollfd& ready : fds) {
            if (ready.revents == 0 || m_bStopped)
                continue;
            // An earlier handler may have dropped or replaced this watch.
            auto it = m_watches.find(ready.fd);
            if (it == m_watches.end())
                continue;
            const Handler handler = it->second.second;
            handler(ready.revents);
        }
    }
}

void EventLoop::RunDueTimers()
{
    const auto now = Clock::now();
    while (!m_timers.empty() && m_timers.begin()->first <= now && !m_bStopped) {
        auto onTimer = std::move(m_timers.begin()->second.second);
        m_timers.erase(m_timers.begin());
        onTimer();
    }
}

int EventLoop::PollTimeoutMs() const
{
    if (m_timers.empty())
        return -1;
    const auto wait = m_timers.begin()->first - Clock::now();
    if (wait <= Clock::duration::zero())
        return 0;
    // Round up, so that a wake-up never comes before the deadline.
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wait).count());
}

}  // namespace mimicbox
