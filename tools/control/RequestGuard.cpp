#include "tools/control/RequestGuard.h"

#include <arpa/inet.h>

#include "tools/control/http/HttpText.h"

namespace mimicbox::control {

namespace {

constexpr const char* kCookie = "mimicbox_token";

// Compares without an early exit, so that the time taken tells nothing of where a token differs.
bool SameText(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    unsigned char differ = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        differ |= static_cast<unsigned char>(a[i] ^ b[i]);
    return differ == 0;
}

bool IsAddress(const std::string& text)
{
    unsigned char bytes[16];
    return ::inet_pton(AF_INET, text.c_str(), bytes) == 1 || ::inet_pton(AF_INET6, text.c_str(), bytes) == 1;
}

// A page of another site can send these without asking the server first (a form's POST), or may
// once a server allows it (PUT, PATCH); JSON takes a question this server never answers yes to. A
// DELETE from another site always asks first, so it needs no body type.
bool CarriesChange(const std::string& method) { return method == "POST" || method == "PUT" || method == "PATCH"; }

bool IsJson(const std::string* type)
{
    if (!type)
        return false;
    return http::Lower(http::Trim(std::string_view(*type).substr(0, type->find(';')))) == "application/json";
}

bool BearerMatches(const std::string* header, const std::string& token)
{
    if (!header)
        return false;
    const std::size_t space = header->find(' ');
    if (space == std::string::npos || http::Lower(header->substr(0, space)) != "bearer")
        return false;
    const std::size_t start = header->find_first_not_of(' ', space);
    return start != std::string::npos && SameText(header->substr(start), token);
}

bool CookieMatches(const std::string* header, const std::string& token)
{
    if (!header)
        return false;
    const std::string name = std::string(kCookie) + "=";
    for (std::size_t at = 0; at < header->size();) {
        const std::size_t end = std::min(header->find(';', at), header->size());
        const std::size_t start = header->find_first_not_of(' ', at);
        if (start < end && header->compare(start, name.size(), name) == 0 &&
            SameText(header->substr(start + name.size(), end - start - name.size()), token))
            return true;
        at = end + 1;
    }
    return false;
}

}  // namespace

bool KnownHost(const std::string& host, const std::vector<std::string>& names)
{
    std::string name = host;
    if (!name.empty() && name.front() == '[') {
        const std::size_t close = name.find(']');
        if (close == std::string::npos || (close + 1 < name.size() && name[close + 1] != ':'))
            return false;
        return IsAddress(name.substr(1, close - 1));
    }
    const std::size_t colon = name.find(':');
    if (colon != std::string::npos) {
        if (name.find(':', colon + 1) != std::string::npos)
            return false;
        name.resize(colon);
    }
    name = http::Lower(name);
    if (name == "localhost" || IsAddress(name))
        return true;
    for (const std::string& known : names) {
        if (http::Lower(known) == name)
            return true;
    }
    return false;
}

GuardAnswer CheckRequest(const http::HttpRequest& request, const AccessRules& rules)
{
    // Only a browser lets another site's page choose the name it reaches; browsers always send Host.
    const std::string* host = request.Header("host");
    if (host && !KnownHost(*host, rules.hosts))
        return {403, "this server does not answer to the name '" + *host + "'; see --control-host", {}};
    GuardAnswer answer;
    if (!rules.token.empty()) {
        std::string given;
        const bool inQuery = request.method == "GET" && http::QueryValue(request.query, "token", given) &&
                             SameText(given, rules.token);
        if (inQuery)
            answer.setCookie = std::string(kCookie) + "=" + rules.token + "; HttpOnly; SameSite=Strict; Path=/";
        else if (!BearerMatches(request.Header("authorization"), rules.token) &&
                 !CookieMatches(request.Header("cookie"), rules.token))
            return {401, "a bearer token is needed", {}};
    }
    if (CarriesChange(request.method) && !IsJson(request.Header("content-type")))
        return {415, "a request that changes something must be sent as Content-Type: application/json", {}};
    return answer;
}

}  // namespace mimicbox::control
