#include "tools/control/InlineToml.h"

namespace mimicbox::control {

namespace {

// Profiles and faults are one table with values in it; a little room beyond that.
constexpr int kMaxDepth = 4;

bool Append(const nlohmann::json& value, int depth, std::string& text, std::string& error)
{
    if (depth > kMaxDepth) {
        error = "nested too deeply";
        return false;
    }
    // JSON string literals are TOML basic strings: the same escapes, and no "\/" from this dump.
    const auto literal = [](const nlohmann::json& v) { return v.dump(-1, ' ', true); };
    if (value.is_object()) {
        text += "{ ";
        bool first = true;
        for (const auto& [key, item] : value.items()) {
            text += first ? "" : ", ";
            first = false;
            text += literal(nlohmann::json(key)) + " = ";
            if (!Append(item, depth + 1, text, error))
                return false;
        }
        text += " }";
    } else if (value.is_array()) {
        text += "[";
        for (std::size_t i = 0; i < value.size(); ++i) {
            text += i ? ", " : "";
            if (!Append(value[i], depth + 1, text, error))
                return false;
        }
        text += "]";
    } else if (value.is_number_float()) {
        // A float keeps a point or an exponent, so that TOML reads it as a float.
        std::string number = literal(value);
        if (number.find_first_of(".eE") == std::string::npos)
            number += ".0";
        text += number;
    } else if (value.is_null()) {
        error = "null is no value here";
        return false;
    } else {
        text += literal(value);
    }
    return true;
}

}  // namespace

bool JsonToInlineToml(const nlohmann::json& value, std::string& text, std::string& error)
{
    text.clear();
    return Append(value, 0, text, error);
}

}  // namespace mimicbox::control
