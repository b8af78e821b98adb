// Request bodies as JSON, read with messages a client can act on: where the JSON breaks, a number out
// of range, a field that is not taken.
#pragma once

#include <initializer_list>
#include <nlohmann/json.hpp>
#include <string>

namespace mimicbox::control {

// The body as JSON (an empty body as {}); false with the reason.
bool ParseJson(const std::string& body, nlohmann::json& value, std::string& error);

// The body as a JSON object with only the given fields; false with the reason.
bool ParseObject(const std::string& body, std::initializer_list<const char*> fields, nlohmann::json& object,
                 std::string& error);

}  // namespace mimicbox::control
