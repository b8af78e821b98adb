#include "tools/control/RequestBodies.h"

#include "core/DeviceModel.h"
#include "tools/control/InlineToml.h"
#include "tools/control/JsonBody.h"

namespace mimicbox::control {

namespace {

// A JSON object read by the scenario schema itself, as the TOML inline table it stands for.
template <typename Value, typename Parse>
bool ReadSchemaObject(const nlohmann::json& object, Parse parse, Value& value, std::string& error)
{
    std::string text;
    return JsonToInlineToml(object, text, error) && parse(text, value, error);
}

template <typename Value, typename Parse>
bool ReadSchemaBody(const std::string& body, Parse parse, Value& value, std::string& error)
{
    nlohmann::json object;
    if (!ParseJson(body, object, error))
        return false;
    if (!object.is_object()) {
        error = "the body is no JSON object";
        return false;
    }
    return ReadSchemaObject(object, parse, value, error);
}

}  // namespace

bool ReadTemperature(const std::string& body, sim::Action& action, std::string& error)
{
    nlohmann::json object;
    if (!ParseObject(body, {"value"}, object, error))
        return false;
    if (!object.contains("value") || !object["value"].is_number()) {
        error = "value: a number from -30 to 150 is needed";
        return false;
    }
    const double value = object["value"].get<double>();
    if (!(value >= TEMP_MIN && value <= TEMP_MAX)) {
        error = "value: must lie from -30 to 150";
        return false;
    }
    action.kind = sim::ActionKind::kSetTemperature;
    action.temperature = object["value"].dump();
    return true;
}

bool ReadSwitch(const std::string& body, sim::Action& action, std::string& error)
{
    nlohmann::json object;
    if (!ParseObject(body, {"state"}, object, error))
        return false;
    const std::string state = object.contains("state") && object["state"].is_string() ? object["state"].get<std::string>() : "";
    if (!sim::ParseSwitchChange(state, action.change)) {
        error = "state: must be \"on\", \"off\" or \"toggle\"";
        return false;
    }
    action.kind = sim::ActionKind::kSetSwitch;
    return true;
}

bool ReadConnectionAction(const std::string& what, const std::string& body, sim::Action& action, std::string& error)
{
    nlohmann::json object;
    const bool silence = what == "silence";
    if (!ParseObject(body, silence ? std::initializer_list<const char*>{"duration"} : std::initializer_list<const char*>{},
                     object, error))
        return false;
    sim::ParseActionKind(what, action.kind);
    if (!silence)
        return true;
    const bool seconds = object.contains("duration") && object["duration"].is_number();
    action.seconds = seconds ? object["duration"].get<double>() : 0;
    if (!(action.seconds > 0 && action.seconds <= 1e9)) {
        error = "duration: seconds above 0 are needed";
        return false;
    }
    return true;
}

bool ReadProfile(const std::string& body, sim::Profile& profile, std::string& error)
{
    return ReadSchemaBody(body, scenario::ParseLiveProfile, profile, error);
}

bool ReadFault(const std::string& body, sim::Fault& fault, std::string& error)
{
    return ReadSchemaBody(body, scenario::ParseLiveFault, fault, error);
}

bool ReadDeviceTables(const std::string& body, std::vector<scenario::DeviceGroup>& groups, std::string& error)
{
    nlohmann::json parsed;
    if (!ParseJson(body, parsed, error))
        return false;
    const bool many = parsed.is_array();
    if (!(parsed.is_object() || (many && !parsed.empty()))) {
        error = "the body is no [[device]] table as a JSON object, nor an array of them";
        return false;
    }
    for (std::size_t i = 0; i < (many ? parsed.size() : 1); ++i) {
        const nlohmann::json& table = many ? parsed[i] : parsed;
        // Built by appending: GCC 12 at -O3 warns falsely on a concatenation that starts with a literal.
        std::string where;
        if (many)
            where.append("[").append(std::to_string(i)).append("] ");
        groups.emplace_back();
        if (!table.is_object() || !ReadSchemaObject(table, scenario::ParseLiveDevice, groups.back(), error)) {
            error = where + (table.is_object() ? error : "is no JSON object");
            return false;
        }
    }
    return true;
}

}  // namespace mimicbox::control
