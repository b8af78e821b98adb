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

// Nothing, or ':' and one to five digits.
bool PortOrNothing(std::string_view rest)
{
    return rest.empty() || (rest.size() >= 2 && rest.size() <= 6 && rest[0] == ':' &&
                            rest.find_first_not_of("0123456789", 1) == std::string_view::npos);
}

// The query without its token=, as "?rest" or "".
std::string WithoutToken(std::string_view query)
{
    std::string rest;
    while (!query.empty()) {
        const std::size_t end = std::min(query.find('&'), query.size());
        const std::string_view part = query.substr(0, end);
        if (!part.empty() && part.substr(0, 6) != "token=" && part != "token") {
            rest.push_back(rest.empty() ? '?' : '&');
            rest.append(part);
        }
        query.remove_prefix(std::min(end + 1, query.size()));
    }
    return rest;
}

}  // namespace

bool KnownHost(const std::string& host, const std::vector<std::string>& names)
{
    // The name is "[address]", or all up to the first ':'.
    const bool bracketed = !host.empty() && host.front() == '[';
    const std::size_t end = bracketed ? host.find(']', 1) : std::min(host.find(':'), host.size());
    if (end == std::string::npos || (bracketed && (end < 1 || !IsAddress(std::string(host, 1, end - 1)))))
        return false;
    const std::size_t after = end + (bracketed ? 1 : 0);
    if (!PortOrNothing(std::string_view(host).substr(after)))
        return false;
    if (bracketed)
        return true;
    const std::string name = http::Lower(host.substr(0, end));
    if (name == "localhost" || IsAddress(name))
        return true;
    for (const std::string& known : names) {
        if (http::Lower(known) == name)
            return true;
    }
    return false;
}

const std::vector<std::pair<std::string, std::string>>& SafetyHeaders()
{
    static const std::vector<std::pair<std::string, std::string>> headers = {
        {"Content-Security-Policy", "default-src 'self'; img-src 'self' data:; object-src 'none'; base-uri 'none'; "
                                    "form-action 'self'; frame-ancestors 'none'"},
        {"X-Frame-Options", "DENY"},
        {"X-Content-Type-Options", "nosniff"},
        {"Referrer-Policy", "no-referrer"},
    };
    return headers;
}

GuardAnswer CheckRequest(const http::HttpRequest& request, const AccessRules& rules)
{
    // Only a browser lets another site's page choose the name it reaches; browsers always send Host.
    const std::string* host = request.Header("host");
    if (host && !KnownHost(*host, rules.hosts))
        return {403, "this server does not answer to the name '" + *host + "'; see --control-host", {}, {}};
    GuardAnswer answer;
    if (!rules.token.empty()) {
        std::string given;
        const bool inQuery = request.method == "GET" && http::QueryValue(request.query, "token", given) &&
                             SameText(given, rules.token);
        if (inQuery) {
            answer.setCookie = std::string(kCookie) + "=" + rules.token + "; HttpOnly; SameSite=Strict; Path=/";
            // The page goes on without the token, so that it leaves the address bar and the history.
            if (request.path == "/")
                answer.redirect = "/" + WithoutToken(request.query);
        }
        else if (!BearerMatches(request.Header("authorization"), rules.token) &&
                 !CookieMatches(request.Header("cookie"), rules.token))
            return {401, "a bearer token is needed", {}, {}};
    }
    if (CarriesChange(request.method) && !IsJson(request.Header("content-type")))
        return {415, "a request that changes something must be sent as Content-Type: application/json", {}, {}};
    return answer;
}

}  // namespace mimicbox::control
