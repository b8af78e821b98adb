// "HOST:PORT" as the command lines take it.
#pragma once

#include <string>
#include <string_view>

namespace mimicbox::options {

// Splits at the last colon; the port must be a whole number from `lowest` to 65535. With
// `numeric`, the host must be an IPv4 address.
bool ParseHostPort(std::string_view text, bool numeric, unsigned lowest, std::string& host, unsigned& port);

}  // namespace mimicbox::options
