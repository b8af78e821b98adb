// Looks up the device server's address once for the whole run, without blocking the loop: the first
// caller starts an asynchronous lookup, the others wait for its answer, and a found address is kept.
#pragma once

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
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

    HostResolver(asio::io_context& context, std::string host, unsigned port);

    // Calls back from the loop with the server's IPv4 endpoint, or the lookup's error. A failed
    // lookup is tried again by the next call.
    void Resolve(Callback callback);
    const std::string& Host() const { return host_; }

private:
    void OnResolved(const std::error_code& error, const asio::ip::tcp::resolver::results_type& results);

    asio::io_context& context_;
    asio::ip::tcp::resolver resolver_;
    std::string host_;
    unsigned port_;
    std::optional<asio::ip::tcp::endpoint> endpoint_;
    std::vector<Callback> waiting_;
};

}  // namespace mimicbox::io
