// A single-threaded event loop over poll(): descriptors, timers at absolute deadlines and the
// termination signals. The headless programs run all their connections on one of these.
#pragma once

#include <poll.h>

#include <chrono>
#include <functional>
#include <map>

namespace mimicbox {

class EventLoop {
public:
    using Clock = std::chrono::steady_clock;
    using Handler = std::function<void(short revents)>;

    EventLoop();
    ~EventLoop();
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    // Calls onReady with the poll events whenever fd reports any of `events`; replaces an earlier
    // watch of fd. Safe to call from inside handlers.
    void Watch(int fd, short events, Handler onReady);
    void Unwatch(int fd);

    // Calls onTimer once at `when` (at once if it has passed). Returns an id for Cancel.
    int At(Clock::time_point when, std::function<void()> onTimer);
    void Cancel(int nTimerId);

    // Makes SIGINT and SIGTERM call onSignal from the loop instead of ending the process.
    void OnTerminationSignal(std::function<void(int nSignal)> onSignal);

    // Runs until Stop(), or until nothing is watched and no timer is left. A stopped loop stays
    // stopped: Run returns at once.
    void Run();
    void Stop() { m_bStopped = true; }

private:
    void RunDueTimers();
    int PollTimeoutMs() const;

    std::map<int, std::pair<short, Handler>> m_watches;
    std::multimap<Clock::time_point, std::pair<int, std::function<void()>>> m_timers;
    int m_nNextTimerId = 1;
    bool m_bStopped = false;
    int m_signalPipe[2] = {-1, -1};
    std::function<void(int)> m_onSignal;
};

}  // namespace mimicbox
