#include "tools/control/JsonBody.h"

#include <algorithm>

namespace mimicbox::control {

bool ParseJson(const std::string& body, nlohmann::json& value, std::string& error)
{
    // The library tells a number it cannot hold from broken text only by its exceptions; they end here.
    try {
        value = nlohmann::json::parse(body.empty() ? std::string("{}") : body);
        return true;
    } catch (const nlohmann::json::out_of_range&) {
        error = "a number in the body is out of range";
    } catch (const nlohmann::json::parse_error& failure) {
        error = "the body is no JSON (at byte " + std::to_string(failure.byte) + ")";
    } catch (const nlohmann::json::exception&) {
        error = "the body is no JSON";
    }
    return false;
}

bool ParseObject(const std::string& body, std::initializer_list<const char*> fields, nlohmann::json& object,
                 std::string& error)
{
    if (!ParseJson(body, object, error))
        return false;
    if (!object.is_object()) {
        error = "the body is no JSON object";
        return false;
    }
    for (const auto& item : object.items()) {
        const std::string& key = item.key();
        if (std::none_of(fields.begin(), fields.end(), [&](const char* field) { return key == field; })) {
            error = "unknown field '" + key + "'";
            return false;
        }
    }
    return true;
}

}  // namespace mimicbox::control
