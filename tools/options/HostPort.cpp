#include "tools/options/HostPort.h"

#include <arpa/inet.h>
#include <cstring>

#include "tools/options/Arguments.h"

namespace mimicbox::options {

namespace {

bool IsV4(const std::string& text)
{
    in_addr address{};
    return ::inet_pton(AF_INET, text.c_str(), &address) == 1;
}

bool IsV6(const std::string& text)
{
    in6_addr address{};
    return ::inet_pton(AF_INET6, text.c_str(), &address) == 1;
}

}  // namespace

bool ParseHostPort(std::string_view text, bool numeric, unsigned lowest, std::string& host, unsigned& port)
{
    const std::size_t colon = text.rfind(':');
    long long number = 0;
    if (colon == std::string_view::npos || colon == 0 || !ParseWhole(text.substr(colon + 1), lowest, 65535, number))
        return false;
    const std::string_view name = text.substr(0, colon);
    const bool bracketed = name.front() == '[' && name.back() == ']';
    host = std::string(bracketed ? name.substr(1, name.size() - 2) : name);
    // An IPv6 address takes brackets before its port; anything else with a colon is no host.
    if (host.empty() || (!bracketed && host.find(':') != std::string::npos) || (bracketed && !IsV6(host)) ||
        host.find_first_of("[]") != std::string::npos)
        return false;
    if (numeric && !IsV4(host) && !IsV6(host))
        return false;
    port = static_cast<unsigned>(number);
    return true;
}

bool ParseAddress(std::string_view text, std::string& address)
{
    address = Unbracketed(text);
    return IsV4(address) || IsV6(address);
}

std::string Unbracketed(std::string_view host)
{
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    return std::string(host);
}

std::string JoinHostPort(std::string_view host, unsigned port)
{
    const bool v6 = host.find(':') != std::string_view::npos;
    return (v6 ? "[" + std::string(host) + "]" : std::string(host)) + ":" + std::to_string(port);
}

bool IsLoopback(const std::string& address)
{
    in_addr v4{};
    if (::inet_pton(AF_INET, address.c_str(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    return ::inet_pton(AF_INET6, address.c_str(), &v6) == 1 && std::memcmp(&v6, &in6addr_loopback, sizeof v6) == 0;
}

}  // namespace mimicbox::options
