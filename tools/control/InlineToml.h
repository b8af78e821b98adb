// A JSON value as the text of the same TOML value, so that the control API's bodies are checked by the
// scenario schema itself: objects become inline tables, the rest keeps its type.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace mimicbox::control {

// False with a reason for what TOML cannot hold (null) or what nests deeper than a scenario does.
bool JsonToInlineToml(const nlohmann::json& value, std::string& text, std::string& error);

}  // namespace mimicbox::control
