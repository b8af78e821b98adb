// The control API's routes as one table: method, path pattern, handler and a line of help. The table
// answers what no route takes (404, or 405 with the methods that are allowed) and lists itself at
// GET /api.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tools/control/Response.h"

namespace mimicbox::control {

// A request as a route's handler gets it: with the {name} of its path, if the pattern has one.
struct Call {
    const Request& request;
    std::string name;
};

struct Route {
    const char* method;
    const char* pattern;  // "/devices/{name}/temperature"
    const char* help;
    std::function<void(const Call& call, Reply reply)> handle;
};

class Router {
public:
    explicit Router(std::vector<Route> routes);
    Router(const Router&) = delete;
    Router& operator=(const Router&) = delete;

    // Hands the request to the route that takes it, or answers it.
    void Dispatch(const Request& request, Reply reply) const;
    const std::vector<Route>& Routes() const { return routes_; }

private:
    void Index(Reply reply) const;

    std::vector<Route> routes_;
};

// Whether `path` fits `pattern`; `name` gets the {name} segment.
bool MatchPattern(const std::string& pattern, const std::string& path, std::string& name);

}  // namespace mimicbox::control
