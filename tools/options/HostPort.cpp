#include "tools/options/HostPort.h"

#include <arpa/inet.h>

#include "tools/options/Arguments.h"

namespace mimicbox::options {

bool ParseHostPort(std::string_view text, bool numeric, unsigned lowest, std::string& host, unsigned& port)
{
    const std::size_t colon = text.rfind(':');
    long long number = 0;
    if (colon == std::string_view::npos || colon == 0 || !ParseWhole(text.substr(colon + 1), lowest, 65535, number))
        return false;
    host = std::string(text.substr(0, colon));
    in_addr address{};
    if (numeric && ::inet_pton(AF_INET, host.c_str(), &address) != 1)
        return false;
    port = static_cast<unsigned>(number);
    return true;
}

}  // namespace mimicbox::options
