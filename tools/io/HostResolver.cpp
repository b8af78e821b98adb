#include "tools/io/HostResolver.h"

#include <asio/post.hpp>

namespace mimicbox::io {

namespace {

// A failed lookup stands this long before the next caller asks again.
constexpr auto kFailureKept = std::chrono::seconds(1);

// Why no address fits: the name has none, or none of the devices' source family.
std::error_code NotFound(std::optional<asio::ip::tcp> family, const asio::ip::tcp::resolver::results_type& results)
{
    if (family && !results.empty())
        return asio::error::make_error_code(asio::error::address_family_not_supported);
    return asio::error::make_error_code(asio::error::host_not_found);
}

}  // namespace

HostResolver::HostResolver(asio::io_context& context, std::string host, unsigned port, std::optional<asio::ip::tcp> family)
    : context_(context), resolver_(context), host_(std::move(host)), port_(port), family_(family)
{
}

std::optional<asio::ip::tcp::endpoint> HostResolver::Choose(const asio::ip::tcp::resolver::results_type& results,
                                                            std::optional<asio::ip::tcp> family)
{
    const asio::ip::tcp wanted = family.value_or(asio::ip::tcp::v4());
    for (const auto& result : results)
        if (result.endpoint().protocol() == wanted)
            return result.endpoint();
    if (family || results.empty())
        return std::nullopt;
    return results.begin()->endpoint();
}

void HostResolver::Resolve(Callback callback)
{
    if (endpoint_) {
        asio::post(context_, [callback = std::move(callback), endpoint = *endpoint_] { callback({}, endpoint); });
        return;
    }
    if (failure_ && std::chrono::steady_clock::now() - failedAt_ < kFailureKept) {
        asio::post(context_, [callback = std::move(callback), failure = failure_] { callback(failure, {}); });
        return;
    }
    waiting_.push_back(std::move(callback));
    if (waiting_.size() > 1)
        return;
    resolver_.async_resolve(host_, std::to_string(port_),
                            [weak = weak_from_this()](const std::error_code& error,
                                                      const asio::ip::tcp::resolver::results_type& results) {
                                if (auto self = weak.lock())
                                    self->OnResolved(error, results);
                            });
}

bool HostResolver::ResolveNow(std::string& error)
{
    std::error_code failed;
    const auto results = resolver_.resolve(host_, std::to_string(port_), failed);
    if (!failed) {
        endpoint_ = Choose(results, family_);
        if (endpoint_)
            return true;
        failed = NotFound(family_, results);
    }
    error = "cannot resolve " + host_ + ": " + failed.message();
    return false;
}

void HostResolver::OnResolved(const std::error_code& error, const asio::ip::tcp::resolver::results_type& results)
{
    std::error_code result = error;
    if (!result) {
        endpoint_ = Choose(results, family_);
        if (!endpoint_)
            result = NotFound(family_, results);
    }
    failure_ = result;
    failedAt_ = std::chrono::steady_clock::now();
    std::vector<Callback> waiting = std::move(waiting_);
    waiting_.clear();
    for (const Callback& callback : waiting)
        callback(result, endpoint_.value_or(asio::ip::tcp::endpoint{}));
}

}  // namespace mimicbox::io
