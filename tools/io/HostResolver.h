// Looks up the device server's address once for the whole run, without blocking the loop: the first
// caller starts an asynchronous lookup, the others wait for its answer, and a found address is kept.
// A failed lookup answers every caller of the next second alike, so that a plant's devices do not
// each ask again.
#pragma once

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace mimicbox::io {

// Made with std::make_shared: a pending lookup holds it only weakly.
class HostResolver : public std::enable_shared_from_this<HostResolver> {
public:
    using Callback = std::function<void(const std::error_code& error, const asio::ip::tcp::endpoint& endpoint)>;

    // `family` picks among the addresses of a name: IPv4 or IPv6 when the devices connect from
    // such source addresses; without one, IPv4 when the name has one (as "localhost" does), else IPv6.
    HostResolver(asio::io_context& context, std::string host, unsigned port,
                 std::optional<asio::ip::tcp> family = std::nullopt);

    // Calls back from the loop with the server's endpoint, or the lookup's error.
    void Resolve(Callback callback);
    // Looks the name up at once, blocking, before the run: false with the reason. Found, the
    // address serves every later call.
    bool ResolveNow(std::string& error);
    const std::string& Host() const { return host_; }

    // The first endpoint of `family`'s choice among a lookup's results; none when none fits.
    static std::optional<asio::ip::tcp::endpoint> Choose(const asio::ip::tcp::resolver::results_type& results,
                                                         std::optional<asio::ip::tcp> family);

private:
    void OnResolved(const std::error_code& error, const asio::ip::tcp::resolver::results_type& results);

    asio::io_context& context_;
    asio::ip::tcp::resolver resolver_;
    std::string host_;
    unsigned port_;
    std::optional<asio::ip::tcp> family_;
    std::optional<asio::ip::tcp::endpoint> endpoint_;
    std::error_code failure_;
    std::chrono::steady_clock::time_point failedAt_{};
    std::vector<Callback> waiting_;
};

}  // namespace mimicbox::io
