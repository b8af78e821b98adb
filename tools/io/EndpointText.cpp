#include "tools/io/EndpointText.h"

namespace mimicbox::io {

std::string EndpointText(const asio::ip::tcp::endpoint& endpoint)
{
    const std::string address = endpoint.address().to_string();
    return (endpoint.address().is_v6() ? "[" + address + "]" : address) + ":" + std::to_string(endpoint.port());
}

}  // namespace mimicbox::io
