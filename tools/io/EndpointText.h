// An endpoint as people read it and as the command lines take it back: "10.0.0.1:80", "[::1]:80".
#pragma once

#include <asio/ip/tcp.hpp>
#include <string>

namespace mimicbox::io {

std::string EndpointText(const asio::ip::tcp::endpoint& endpoint);

}  // namespace mimicbox::io
