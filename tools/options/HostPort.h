// Addresses as the command lines take them: "HOST:PORT", with an IPv6 address in brackets
// ("[::1]:8080"), and addresses alone, IPv4 or IPv6.
#pragma once

#include <string>
#include <string_view>

namespace mimicbox::options {

// Splits at the last colon, or after "[ADDRESS]"; the port must be a whole number from `lowest` to
// 65535. With `numeric`, the host must be an IPv4 or IPv6 address. The host comes without brackets.
bool ParseHostPort(std::string_view text, bool numeric, unsigned lowest, std::string& host, unsigned& port);

// An IPv4 or IPv6 address, the latter with or without brackets; `address` without them.
bool ParseAddress(std::string_view text, std::string& address);

// A host as given (a name, or an address with or without brackets) with the brackets taken off.
std::string Unbracketed(std::string_view host);

// "10.0.0.1:80", "[::1]:80", "name:80": a host and port written to be read back.
std::string JoinHostPort(std::string_view host, unsigned port);

// Whether the address is one of this machine's loopback ones: 127.0.0.0/8 or ::1.
bool IsLoopback(const std::string& address);

}  // namespace mimicbox::options
