// A client beyond the server's limit: it is answered at once, whatever it sends, and closed. Its
// answer fits a fresh socket's buffer, so it is written without waiting; the client then has a second
// to read it before the close, so that the close does not reset the answer away.
#pragma once

#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <array>
#include <functional>
#include <memory>
#include <string>

namespace mimicbox::control::http {

class RefusedClient : public std::enable_shared_from_this<RefusedClient> {
public:
    // `onClosed` is called once, when the socket has closed.
    RefusedClient(asio::ip::tcp::socket socket, std::function<void()> onClosed);

    // Writes `answer`, ends the sending side, and reads until the client closes or a second passes.
    void Start(const std::string& answer);
    void Close();

private:
    void Drain();

    asio::ip::tcp::socket socket_;
    asio::steady_timer timer_;
    std::function<void()> onClosed_;
    std::array<char, 1024> sink_{};
};

}  // namespace mimicbox::control::http
