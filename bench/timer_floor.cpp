// The machine's floor for a sparse plant: one process that only wakes at absolute deadlines (a
// timerfd under epoll, as Asio waits) N times a second and does nothing else. Prints the lateness of
// its wake-ups and its CPU as a share of a core, the least any runner can do at that rate here.
// Usage: timer_floor WAKES_PER_SECOND SECONDS
#include <sys/epoll.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

int64_t Now(clockid_t clock)
{
    timespec time{};
    ::clock_gettime(clock, &time);
    return time.tv_sec * 1000000000LL + time.tv_nsec;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3 || std::atoi(argv[1]) <= 0 || std::atoi(argv[2]) <= 0) {
        std::fprintf(stderr, "usage: timer_floor WAKES_PER_SECOND SECONDS\n");
        return 2;
    }
    const int rate = std::atoi(argv[1]);
    const int wakes = rate * std::atoi(argv[2]);
    const int64_t period = 1000000000LL / rate;
    const int timer = ::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC);
    const int poller = ::epoll_create1(EPOLL_CLOEXEC);
    epoll_event event{};
    event.events = EPOLLIN;
    ::epoll_ctl(poller, EPOLL_CTL_ADD, timer, &event);

    std::vector<int64_t> lateness;
    lateness.reserve(static_cast<std::size_t>(wakes));
    const int64_t cpuBefore = Now(CLOCK_PROCESS_CPUTIME_ID);
    int64_t due = Now(CLOCK_MONOTONIC) + period;
    for (int i = 0; i < wakes; ++i, due += period) {
        itimerspec deadline{};
        deadline.it_value.tv_sec = due / 1000000000LL;
        deadline.it_value.tv_nsec = due % 1000000000LL;
        ::timerfd_settime(timer, TFD_TIMER_ABSTIME, &deadline, nullptr);
        ::epoll_wait(poller, &event, 1, -1);
        uint64_t expirations = 0;
        [[maybe_unused]] const ssize_t n = ::read(timer, &expirations, sizeof expirations);
        lateness.push_back(Now(CLOCK_MONOTONIC) - due);
    }
    const double cpu = static_cast<double>(Now(CLOCK_PROCESS_CPUTIME_ID) - cpuBefore) / 1e9;

    std::sort(lateness.begin(), lateness.end());
    const auto at = [&](double q) {
        return static_cast<double>(lateness[static_cast<std::size_t>(q * (wakes - 1))]) / 1e6;
    };
    std::printf("%d wakes/s alone: CPU %.3f %% of a core; lateness p50 %.2f ms, p99 %.2f ms, max %.2f ms\n", rate,
                cpu / (static_cast<double>(wakes) / rate) * 100, at(0.5), at(0.99), at(1.0));
    return 0;
}
