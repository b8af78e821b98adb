#include "tools/control/Router.h"

#include <nlohmann/json.hpp>

namespace mimicbox::control {

namespace {

constexpr const char* kIndexPath = "/api";

// The next segment of `text` from `at`, which is left after its '/'.
std::string_view Segment(std::string_view text, std::size_t& at)
{
    const std::size_t end = std::min(text.find('/', at), text.size());
    const std::string_view segment = text.substr(at, end - at);
    at = end + 1;
    return segment;
}

}  // namespace

bool MatchPattern(const std::string& pattern, const std::string& path, std::string& name)
{
    if (path.empty() || path.front() != '/')
        return false;
    std::size_t p = 1;
    std::size_t q = 1;
    while (p <= pattern.size() && q <= path.size()) {
        const std::string_view want = Segment(pattern, p);
        const std::string_view have = Segment(path, q);
        if (want == "{name}" && !have.empty())
            name = std::string(have);
        else if (want != have)
            return false;
    }
    return p > pattern.size() && q > path.size();
}

Router::Router(std::vector<Route> routes) : routes_(std::move(routes))
{
    routes_.push_back({"GET", kIndexPath, "this list of routes", [this](const Call&, Reply reply) { Index(std::move(reply)); }});
}

void Router::Dispatch(const Request& request, Reply reply) const
{
    std::string allowed;
    for (const Route& route : routes_) {
        std::string name;
        if (!MatchPattern(route.pattern, request.path, name))
            continue;
        if (request.method == route.method) {
            route.handle(Call{request, std::move(name)}, std::move(reply));
            return;
        }
        allowed += (allowed.empty() ? "" : ", ") + std::string(route.method);
    }
    if (allowed.empty()) {
        reply(JsonError(404, "no such resource: " + request.path));
        return;
    }
    Response refused = JsonError(405, request.method + " is not allowed on " + request.path + "; use " + allowed);
    refused.headers.emplace_back("Allow", allowed);
    reply(std::move(refused));
}

void Router::Index(Reply reply) const
{
    nlohmann::ordered_json routes = nlohmann::ordered_json::array();
    for (const Route& route : routes_)
        routes.push_back({{"method", route.method}, {"path", route.pattern}, {"help", route.help}});
    reply(JsonAnswer(routes));
}

}  // namespace mimicbox::control
