// The least a runner can do to keep N device connections reporting on time, to measure mimicbox-cli
// against in the same run: fixed record bytes (no formatting, no reading), the devices spread over a
// wheel of 1 ms slots, an absolute sleep to each slot, and then either one send() per record due
// ("send") or all of them in one io_uring submission ("uring"). Prints records/s, CPU as a share of
// a core, µs of CPU per record, peak RSS and the lateness of its wake-ups.
// Usage: send_floor send|uring HOST PORT RELAYS THERMOS SECONDS
#include <arpa/inet.h>
#include <liburing.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

int64_t NowNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

double CpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

int Connect(const char* host, int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    ::inet_pton(AF_INET, host, &address.sin_addr);
    if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        std::perror("connect");
        std::exit(1);
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 7 || (std::string(argv[1]) != "send" && std::string(argv[1]) != "uring")) {
        std::fprintf(stderr, "usage: send_floor send|uring HOST PORT RELAYS THERMOS SECONDS\n");
        return 2;
    }
    const bool batched = std::string(argv[1]) == "uring";
    const int relays = std::atoi(argv[4]);
    const int thermos = std::atoi(argv[5]);
    const int seconds = std::atoi(argv[6]);
    // Relay-Boxes every 500 ms, Thermo-Boxes every 1500 ms; each device in its own slot of the wheel.
    constexpr int kWheel = 1500;
    std::vector<std::vector<int>> slots(kWheel);
    std::vector<int> sockets;
    std::vector<std::string> records;
    for (int i = 0; i < relays + thermos; ++i) {
        const bool relay = i < relays;
        sockets.push_back(Connect(argv[2], std::atoi(argv[3])));
        char text[96];
        const int size = relay ? std::snprintf(text, sizeof text, "TolvarkControl: 8, %d, 4, 0, 0, 1, 10;1796700256, 0, 0;", 1001 + i)
                               : std::snprintf(text, sizeof text, "TolvarkControl: 16, %d, 4, 0, 0, 1, 10;1796700256, 0.000000;", 1 + i);
        records.emplace_back(text, static_cast<std::size_t>(size) + 1);  // with its NUL
        const int period = relay ? 500 : 1500;
        const int first = (i * 7919) % period;
        for (int slot = first; slot < kWheel; slot += period)
            slots[static_cast<std::size_t>(slot)].push_back(i);
    }
    io_uring ring{};
    if (batched && ::io_uring_queue_init(4096, &ring, 0) != 0) {
        std::perror("io_uring");
        return 1;
    }
    std::vector<int64_t> lateness;
    const double cpuBefore = CpuSeconds();
    const int64_t start = NowNs() + 10000000;
    int64_t sent = 0;
    for (int64_t tick = 0; tick < seconds * 1000LL; ++tick) {
        // A sparse plant sleeps through its empty slots.
        if (slots[static_cast<std::size_t>(tick % kWheel)].empty())
            continue;
        const int64_t deadline = start + tick * 1000000;
        const timespec wake{static_cast<time_t>(deadline / 1000000000), static_cast<long>(deadline % 1000000000)};
        ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr);
        const std::vector<int>& due = slots[static_cast<std::size_t>(tick % kWheel)];
        lateness.push_back(NowNs() - deadline);
        for (const int device : due) {
            const std::string& record = records[static_cast<std::size_t>(device)];
            if (!batched) {
                sent += ::send(sockets[static_cast<std::size_t>(device)], record.data(), record.size(), MSG_DONTWAIT | MSG_NOSIGNAL) > 0;
                continue;
            }
            io_uring_sqe* sqe = ::io_uring_get_sqe(&ring);
            ::io_uring_prep_send(sqe, sockets[static_cast<std::size_t>(device)], record.data(), record.size(),
                                 MSG_DONTWAIT | MSG_NOSIGNAL);
        }
        if (batched) {
            ::io_uring_submit_and_wait(&ring, static_cast<unsigned>(due.size()));
            io_uring_cqe* cqe = nullptr;
            unsigned head = 0;
            unsigned seen = 0;
            io_uring_for_each_cqe(&ring, head, cqe)
            {
                sent += cqe->res > 0;
                ++seen;
            }
            ::io_uring_cq_advance(&ring, seen);
        }
    }
    const double cpu = CpuSeconds() - cpuBefore;
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::sort(lateness.begin(), lateness.end());
    const auto at = [&](double q) {
        return static_cast<double>(lateness[static_cast<std::size_t>(q * static_cast<double>(lateness.size() - 1))]) / 1e6;
    };
    std::printf("floor %s: %lld records/s, CPU %.2f %%, %.2f us per record, RSS %.1f MB, lateness p50 %.2f ms, p99 %.2f "
                "ms, max %.2f ms\n",
                argv[1], static_cast<long long>(sent / seconds), cpu / seconds * 100, cpu * 1e6 / static_cast<double>(sent),
                static_cast<double>(usage.ru_maxrss) / 1024, at(0.5), at(0.99), at(1.0));
    return 0;
}
