// Feeds arbitrary Host, Authorization, Cookie and query values to the control API's request guard.
// Oracle: a request is let in only with the token given exactly, in a way it may come, and a Host
// the guard knows is an address, localhost or a given name, then at most ':' and digits.
#include <arpa/inet.h>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/control/RequestGuard.h"
#include "tools/control/http/HttpText.h"

namespace {

// The input's parts, split at NUL: host, authorization, cookie, query, method.
std::vector<std::string> Parts(const uint8_t* data, size_t size)
{
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < size && parts.size() <= 5; ++i) {
        if (data[i] == 0)
            parts.emplace_back();
        else
            parts.back() += static_cast<char>(data[i]);
    }
    parts.resize(5);
    return parts;
}

bool IsAddress(const std::string& text)
{
    unsigned char bytes[16];
    return ::inet_pton(AF_INET, text.c_str(), bytes) == 1 || ::inet_pton(AF_INET6, text.c_str(), bytes) == 1;
}

// Written apart from the guard: nothing, or ':' and one to five digits.
bool PortOrNothing(const std::string& rest)
{
    return rest.empty() || (rest.size() >= 2 && rest.size() <= 6 && rest[0] == ':' &&
                            rest.find_first_not_of("0123456789", 1) == std::string::npos);
}

// Written apart from the guard: what a known host must look like.
bool LooksKnown(const std::string& host)
{
    if (!host.empty() && host.front() == '[') {
        const std::size_t close = host.find(']');
        return close != std::string::npos && IsAddress(host.substr(1, close - 1)) && PortOrNothing(host.substr(close + 1));
    }
    const std::size_t colon = std::min(host.find(':'), host.size());
    const std::string name = mimicbox::control::http::Lower(host.substr(0, colon));
    return PortOrNothing(host.substr(colon)) && (name == "localhost" || name == "plant.lab" || IsAddress(name));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace mimicbox::control;
    const std::vector<std::string> parts = Parts(data, size);
    const std::vector<std::string> names = {"Plant.Lab"};
    if (!parts[0].empty() && KnownHost(parts[0], names) != LooksKnown(parts[0]))
        __builtin_trap();
    http::HttpRequest request;
    request.method = parts[4].empty() ? "GET" : parts[4];
    request.path = "/";
    request.query = parts[3];
    request.headers = {{"host", parts[0]}, {"authorization", parts[1]}, {"cookie", parts[2]}};
    const AccessRules rules{"s3cret", names};
    const GuardAnswer answer = CheckRequest(request, rules);
    if (answer.status == 0) {
        const bool given = parts[1].find("s3cret") != std::string::npos || parts[2].find("s3cret") != std::string::npos ||
                           (request.method == "GET" && parts[3].find("s3cret") != std::string::npos);
        if (!given || !LooksKnown(parts[0]))
            __builtin_trap();
        // The token leaves the address: the page is sent on to one without it.
        std::string token;
        const std::size_t query = answer.redirect.find('?');
        if (query != std::string::npos && http::QueryValue(answer.redirect.substr(query + 1), "token", token))
            __builtin_trap();
    }
    return 0;
}
