#include "tools/control/RequestBodies.h"

#include "core/DeviceModel.h"
#include "tools/control/JsonScenario.h"
#include "tools/control/JsonBody.h"

namespace mimicbox::control {

namespace {

// The first problem, as the answer's message.
bool Report(const sim::Problems& problems, std::string& error)
{
    if (problems.empty())
        return true;
    error = sim::ProblemText(problems.front());
    return false;
}

bool ReadBodyObject(const std::string& body, nlohmann::json& object, std::string& error)
{
    if (!ParseJson(body, object, error))
        return false;
    if (object.is_object())
        return true;
    error = "the body is no JSON object";
    return false;
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
    nlohmann::json object;
    sim::ProfileEntry written;
    if (!ReadBodyObject(body, object, error) || !Report(ReadProfileJson(object, "profile", written), error) ||
        !Report(sim::ValidateProfile(written, "profile"), error))
        return false;
    profile = sim::PlanProfile(written);
    return true;
}

bool ReadFault(const std::string& body, sim::Fault& fault, std::string& error)
{
    nlohmann::json object;
    sim::FaultEntry written;
    if (!ReadBodyObject(body, object, error) || !Report(ReadFaultJson(object, "fault", written), error) ||
        !Report(sim::ValidateLiveFault(written, "fault"), error))
        return false;
    fault = sim::PlanFault(written);
    return true;
}

bool ReadDeviceTables(const std::string& body, std::vector<sim::DeviceGroup>& groups, std::string& error)
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
        sim::DeviceEntry written;
        if (!table.is_object()) {
            error = std::string("[").append(std::to_string(i)).append("] is no JSON object");
            return false;
        }
        if (!Report(ReadDeviceJson(table, "device", written), error) || !Report(sim::ValidateLiveDevice(written, "device"), error)) {
            // Built by appending: GCC 12 at -O3 warns falsely on a concatenation that starts with a literal.
            if (many)
                error = std::string("[").append(std::to_string(i)).append("] ").append(error);
            return false;
        }
        groups.push_back(sim::PlanDevice(written));
    }
    return true;
}

}  // namespace mimicbox::control
