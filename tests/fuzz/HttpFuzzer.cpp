// Feeds arbitrary bytes to the control API's HTTP connection as a client sends them over a real
// socket, split at every point the input chooses: the connection, the request guard, the bridge to the
// loop and the controller of a running plant, all on one loop. Oracle: whatever the bytes, what comes
// back is HTTP/1.1 answers, each with a status the API gives, and the connection ends.
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/fuzz/ControlHarness.h"
#include "tools/control/LoopBridge.h"
#include "tools/control/http/HttpConnection.h"

namespace {

// Takes what the connection sent; false once it closed.
bool Drain(int fd, std::string& answers)
{
    char buffer[4096];
    for (;;) {
        const ssize_t size = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (size > 0) {
            answers.append(buffer, static_cast<std::size_t>(size));
            continue;
        }
        return size < 0;
    }
}

// Every answer begins with its status line.
void Check(const std::string& answers)
{
    if (answers.empty())
        return;
    if (answers.compare(0, 9, "HTTP/1.1 ") != 0)
        __builtin_trap();
    const int status = std::atoi(answers.c_str() + 9);
    if (status < 100 || status > 505)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace mimicbox;
    if (size == 0)
        return 0;
    const std::size_t piece = 1 + data[0] % 64;
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends) != 0)
        return 0;
    asio::io_context context;
    auto harness = std::make_unique<fuzz::ControlHarness>();
    control::LoopBridge bridge(
        context, context,
        [&harness](const control::Request& request, control::Reply reply) { harness->controller->Dispatch(request, reply); },
        control::AccessRules{"s3cret", {"plant.lab"}});
    const control::http::ErrorResponse error = [](int status, const std::string& message) {
        return control::ToHttp(control::JsonError(status, message));
    };
    const control::http::ConnectionSettings settings;
    asio::ip::tcp::socket socket(context);
    socket.assign(asio::ip::tcp::v4(), ends[0]);
    bool closed = false;
    auto connection = std::make_shared<control::http::HttpConnection>(std::move(socket), bridge, error, settings,
                                                                       [&closed] { closed = true; });
    connection->Start();
    std::string answers;
    for (std::size_t at = 0, turn = 0; at < bytes.size() && !closed; at += piece, ++turn) {
        (void)::send(ends[1], bytes.data() + at, std::min(piece, bytes.size() - at), MSG_NOSIGNAL);
        context.poll();
        // The plant's time runs on now and then, for the faults and answers that wait for it.
        if (turn % 8 == 7)
            harness->plant.scheduler.Advance(std::chrono::milliseconds(200));
        context.poll();
        Drain(ends[1], answers);
    }
    ::shutdown(ends[1], SHUT_WR);
    for (int turn = 0; turn < 8 && !closed; ++turn) {
        context.poll();
        Drain(ends[1], answers);
    }
    connection->Close();
    // The plant goes while the bridge stands: its last answers go through it.
    harness.reset();
    context.poll();
    Drain(ends[1], answers);
    ::close(ends[1]);
    Check(answers);
    return 0;
}
