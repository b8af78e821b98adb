#include "tools/control/Response.h"

#include <nlohmann/json.hpp>

namespace mimicbox::control {

Response JsonAnswer(const nlohmann::ordered_json& body, int status)
{
    return {status, body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n"};
}

Response JsonError(int status, const std::string& message) { return JsonAnswer({{"error", message}}, status); }

void Render(Response& response)
{
    if (response.render)
        response.body = response.render();
    response.render = nullptr;
}

}  // namespace mimicbox::control
