// The latency a hop adds, measured from both of its ends in one process: DEVICES connections to
// HOST:PORT each send a Thermo-Box-sized record every 1.5 s (spread evenly), and a sink on
// SINK_PORT, which the hop forwards to, takes each record's send time out of it. Prints p50, p99 and
// max in milliseconds after SECONDS. Run it once against the sink itself (PORT = SINK_PORT) for the
// floor, and once through the proxy.
//   proxy_latency SINK_PORT HOST PORT DEVICES SECONDS
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int64_t Now() { return std::chrono::steady_clock::now().time_since_epoch() / std::chrono::nanoseconds(1); }

int Listen(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 4096) != 0) {
        std::perror("listen");
        std::exit(1);
    }
    return fd;
}

int Connect(const char* host, int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, host, &address.sin_addr);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        std::perror("connect");
        std::exit(1);
    }
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: proxy_latency SINK_PORT HOST PORT DEVICES SECONDS\n");
        return 2;
    }
    const int sinkPort = std::atoi(argv[1]);
    const int devices = std::atoi(argv[4]);
    const double seconds = std::atof(argv[5]);
    const int listener = Listen(sinkPort);
    const int poll = epoll_create1(0);
    epoll_event event{EPOLLIN, {}};
    event.data.fd = listener;
    epoll_ctl(poll, EPOLL_CTL_ADD, listener, &event);
    std::vector<int> senders;
    for (int i = 0; i < devices; ++i)
        senders.push_back(Connect(argv[2], std::atoi(argv[3])));
    const int64_t period = 1'500'000'000;
    const int64_t start = Now() + 200'000'000;
    std::vector<int64_t> due(senders.size());
    for (std::size_t i = 0; i < due.size(); ++i)
        due[i] = start + period * static_cast<int64_t>(i) / devices;
    std::vector<double> latencies;
    std::vector<std::string> pending(65536);
    std::vector<epoll_event> ready(256);
    const int64_t end = start + static_cast<int64_t>(seconds * 1e9);
    while (Now() < end) {
        const int64_t now = Now();
        int64_t next = end;
        for (std::size_t i = 0; i < senders.size(); ++i) {
            if (due[i] <= now) {
                // "TolvarkControl: 16, N, 4, 0, 0, 1, 10;SENT_NS, 21.500000;" and its NUL
                char record[96];
                const int size = std::snprintf(record, sizeof record, "TolvarkControl: 16, %zu, 4, 0, 0, 1, 10;%lld, 21.500000;",
                                               i + 1, static_cast<long long>(Now()));
                send(senders[i], record, static_cast<std::size_t>(size) + 1, MSG_NOSIGNAL);
                due[i] += period;
            }
            next = std::min(next, due[i]);
        }
        const int wait = static_cast<int>(std::max<int64_t>(0, (next - Now()) / 1'000'000));
        const int count = epoll_wait(poll, ready.data(), static_cast<int>(ready.size()), wait);
        for (int k = 0; k < count; ++k) {
            const int fd = ready[static_cast<std::size_t>(k)].data.fd;
            if (fd == listener) {
                const int accepted = accept(listener, nullptr, nullptr);
                epoll_event in{EPOLLIN, {}};
                in.data.fd = accepted;
                epoll_ctl(poll, EPOLL_CTL_ADD, accepted, &in);
                continue;
            }
            char buffer[65536];
            const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0) {
                close(fd);
                continue;
            }
            const int64_t received = Now();
            std::string& text = pending[static_cast<std::size_t>(fd) % pending.size()];
            text.append(buffer, static_cast<std::size_t>(got));
            for (std::size_t nul; (nul = text.find('\0')) != std::string::npos; text.erase(0, nul + 1)) {
                const std::size_t semicolon = text.find(';');
                if (semicolon < nul)
                    latencies.push_back(static_cast<double>(received - std::atoll(text.c_str() + semicolon + 1)) / 1e6);
            }
        }
    }
    std::sort(latencies.begin(), latencies.end());
    if (latencies.empty()) {
        std::printf("no record arrived\n");
        return 1;
    }
    const auto at = [&](double q) { return latencies[static_cast<std::size_t>(q * static_cast<double>(latencies.size() - 1))]; };
    std::printf("%zu records: p50 %.3f ms, p99 %.3f ms, max %.3f ms\n", latencies.size(), at(0.5), at(0.99), latencies.back());
    return 0;
}
