#include "tools/io/HostResolver.h"

#include <asio/post.hpp>

namespace mimicbox::io {

HostResolver::HostResolver(asio::io_context& context, std::string host, unsigned port)
    : context_(context), resolver_(context), host_(std::move(host)), port_(port)
{
}

void HostResolver::Resolve(Callback callback)
{
    if (endpoint_) {
        asio::post(context_, [callback = std::move(callback), endpoint = *endpoint_] { callback({}, endpoint); });
        return;
    }
    waiting_.push_back(std::move(callback));
    if (waiting_.size() > 1)
        return;
    resolver_.async_resolve(asio::ip::tcp::v4(), host_, std::to_string(port_),
                            [weak = weak_from_this()](const std::error_code& error,
                                                      const asio::ip::tcp::resolver::results_type& results) {
                                if (auto self = weak.lock())
                                    self->OnResolved(error, results);
                            });
}

void HostResolver::OnResolved(const std::error_code& error, const asio::ip::tcp::resolver::results_type& results)
{
    std::error_code result = error;
    if (!result && results.empty())
        result = asio::error::host_not_found;
    if (!result)
        endpoint_ = results.begin()->endpoint();
    std::vector<Callback> waiting = std::move(waiting_);
    waiting_.clear();
    for (const Callback& callback : waiting)
        callback(result, endpoint_.value_or(asio::ip::tcp::endpoint{}));
}

}  // namespace mimicbox::io
