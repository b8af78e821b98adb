// Accepts connections on an IPv4 or IPv6 address, and keeps accepting when the process runs out of
// descriptors: it pauses, says so, and tries again.
#pragma once

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <functional>
#include <memory>
#include <string>

namespace mimicbox::io {

class Listener {
public:
    using OnAccept = std::function<void(asio::ip::tcp::socket socket)>;
    using OnTrouble = std::function<void(const std::string& message)>;

    Listener(asio::io_context& context, OnAccept onAccept, OnTrouble onTrouble);
    ~Listener();

    // False with a message when the address cannot be listened on. Port 0 picks a free one.
    bool Listen(const std::string& address, unsigned port, std::string& error);
    // The port listened on, once listening.
    unsigned Port() const;
    void Close();

private:
    struct State;
    std::shared_ptr<State> state_;
};

}  // namespace mimicbox::io
