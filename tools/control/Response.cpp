#include "tools/control/Response.h"

#include <nlohmann/json.hpp>

namespace mimicbox::control {

Response JsonError(int status, const std::string& message)
{
    return {status, nlohmann::json{{"error", message}}.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n"};
}

void Render(Response& response)
{
    if (response.render)
        response.body = response.render();
    response.render = nullptr;
}

}  // namespace mimicbox::control
