// The least a TCP proxy can do per record: each connection accepted on LISTEN_PORT gets one to
// SERVER_PORT, and every chunk read from either side is sent on to the other, with no capture, no
// decoding and no event loop but the ring: one io_uring receive armed per direction, the sends and
// re-armed receives of each wake-up in one submission, which also waits for the next completions.
// What it costs beside the runner feeding it is the floor under the proxy's cost.
// Runs until killed.
//   forward_floor LISTEN_PORT SERVER_PORT
#include <arpa/inet.h>
#include <liburing.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

struct Pump {
    int from = -1;
    int to = -1;
    char buffer[8192];
    int size = 0;
    int sent = 0;
};

int Socket(int port, bool listening)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const int one = 1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (listening) {
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 4096) != 0) {
            std::perror("listen");
            std::exit(1);
        }
        return fd;
    }
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        std::perror("connect");
        std::exit(1);
    }
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

io_uring_sqe* Entry(io_uring& ring)
{
    io_uring_sqe* sqe = io_uring_get_sqe(&ring);
    if (!sqe) {
        io_uring_submit(&ring);
        sqe = io_uring_get_sqe(&ring);
    }
    return sqe;
}

// Tags: 0 accept; a pump's address for its receive, with the low bit set for its send.
void Receive(io_uring& ring, Pump* pump)
{
    io_uring_sqe* sqe = Entry(ring);
    io_uring_prep_recv(sqe, pump->from, pump->buffer, sizeof pump->buffer, 0);
    sqe->ioprio |= IORING_RECVSEND_POLL_FIRST;
    io_uring_sqe_set_data64(sqe, reinterpret_cast<uintptr_t>(pump));
}

void Send(io_uring& ring, Pump* pump)
{
    io_uring_sqe* sqe = Entry(ring);
    io_uring_prep_send(sqe, pump->to, pump->buffer + pump->sent, pump->size - pump->sent, MSG_NOSIGNAL);
    io_uring_sqe_set_data64(sqe, reinterpret_cast<uintptr_t>(pump) | 1);
}

void Accept(io_uring& ring, int listener)
{
    io_uring_sqe* sqe = Entry(ring);
    io_uring_prep_accept(sqe, listener, nullptr, nullptr, 0);
    io_uring_sqe_set_data64(sqe, 0);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: forward_floor LISTEN_PORT SERVER_PORT\n");
        return 2;
    }
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
    const int listener = Socket(std::atoi(argv[1]), true);
    const int server = std::atoi(argv[2]);
    io_uring ring;
    io_uring_params params{};
    params.flags = IORING_SETUP_CQSIZE;
    params.cq_entries = 32768;
    if (const int failed = io_uring_queue_init_params(4096, &ring, &params); failed < 0) {
        std::fprintf(stderr, "io_uring: %d\n", failed);
        return 1;
    }
    std::vector<std::unique_ptr<Pump>> pumps;
    Accept(ring, listener);
    for (;;) {
        io_uring_submit_and_wait(&ring, 1);
        unsigned head = 0;
        unsigned seen = 0;
        io_uring_cqe* cqe = nullptr;
        std::vector<std::pair<uint64_t, int>> done;
        io_uring_for_each_cqe(&ring, head, cqe)
        {
            done.emplace_back(cqe->user_data, cqe->res);
            ++seen;
        }
        io_uring_cq_advance(&ring, seen);
        for (const auto& [tag, result] : done) {
            if (tag == 0) {
                if (result >= 0) {
                    const int device = result;
                    const int one = 1;
                    setsockopt(device, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                    const int upstream = Socket(server, false);
                    pumps.push_back(std::make_unique<Pump>(Pump{device, upstream}));
                    Receive(ring, pumps.back().get());
                    pumps.push_back(std::make_unique<Pump>(Pump{upstream, device}));
                    Receive(ring, pumps.back().get());
                }
                Accept(ring, listener);
                continue;
            }
            Pump* pump = reinterpret_cast<Pump*>(tag & ~uint64_t{1});
            if (result <= 0)
                continue;  // an end or an error: the connection is left as it is
            if (tag & 1) {
                pump->sent += result;
                if (pump->sent < pump->size)
                    Send(ring, pump);
                else
                    Receive(ring, pump);
            } else {
                pump->size = result;
                pump->sent = 0;
                Send(ring, pump);
            }
        }
    }
}
