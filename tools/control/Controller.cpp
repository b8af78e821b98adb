#include "tools/control/Controller.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "tools/control/InlineToml.h"
#include "tools/scenario/Scenario.h"
#include "tools/sim/DeviceRange.h"

namespace mimicbox::control {

namespace {

using nlohmann::ordered_json;

Response Ok(const ordered_json& body) { return {200, body.dump() + "\n", "application/json"}; }

std::vector<std::string> Split(const std::string& path)
{
    std::vector<std::string> parts;
    std::size_t start = 1;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// The body as a JSON object with only the given keys; false with a response to send otherwise.
bool ReadObject(const std::string& body, std::initializer_list<const char*> keys, nlohmann::json& object, Response& error)
{
    object = nlohmann::json::parse(body.empty() ? "{}" : body, nullptr, false);
    if (object.is_discarded() || !object.is_object()) {
        error = JsonError(400, "the body is no JSON object");
        return false;
    }
    for (const auto& item : object.items()) {
        const std::string& key = item.key();
        if (std::find_if(keys.begin(), keys.end(), [&](const char* known) { return key == known; }) == keys.end()) {
            error = JsonError(400, "unknown field '" + key + "'");
            return false;
        }
    }
    return true;
}

// A JSON object read by the scenario schema itself, as the TOML inline table it stands for.
template <typename Value, typename Parse>
bool ReadSchemaObject(const nlohmann::json& object, Parse parse, Value& value, std::string& reason)
{
    std::string text;
    return JsonToInlineToml(object, text, reason) && parse(text, value, reason);
}

// The body as a profile or fault object of the scenario schema.
template <typename Value, typename Parse>
bool ReadTable(const std::string& body, Parse parse, Value& value, Response& error)
{
    const nlohmann::json object = nlohmann::json::parse(body, nullptr, false);
    std::string reason;
    if (object.is_discarded() || !object.is_object()) {
        error = JsonError(400, "the body is no JSON object");
        return false;
    }
    if (!ReadSchemaObject(object, parse, value, reason)) {
        error = JsonError(400, reason);
        return false;
    }
    return true;
}

bool ReadTemperature(const std::string& body, sim::Action& action, Response& error)
{
    nlohmann::json object;
    if (!ReadObject(body, {"value"}, object, error))
        return false;
    if (!object.contains("value") || !object["value"].is_number()) {
        error = JsonError(400, "value: a number from -30 to 150 is needed");
        return false;
    }
    const double value = object["value"].get<double>();
    if (!(value >= TEMP_MIN && value <= TEMP_MAX)) {
        error = JsonError(400, "value: must lie from -30 to 150");
        return false;
    }
    action.kind = sim::ActionKind::kSetTemperature;
    action.temperature = object["value"].dump();
    return true;
}

bool ReadSwitch(const std::string& body, sim::Action& action, Response& error)
{
    nlohmann::json object;
    if (!ReadObject(body, {"state"}, object, error))
        return false;
    const std::string state = object.contains("state") && object["state"].is_string() ? object["state"].get<std::string>() : "";
    if (!sim::ParseSwitchChange(state, action.change)) {
        error = JsonError(400, "state: must be \"on\", \"off\" or \"toggle\"");
        return false;
    }
    action.kind = sim::ActionKind::kSetSwitch;
    return true;
}

// disconnect, reset and reconnect take no body; silence takes its duration.
bool ReadConnectionAction(const std::string& what, const std::string& body, sim::Action& action, Response& error)
{
    nlohmann::json object;
    const bool silence = what == "silence";
    if (!ReadObject(body, silence ? std::initializer_list<const char*>{"duration"} : std::initializer_list<const char*>{},
                    object, error))
        return false;
    sim::ParseActionKind(what, action.kind);
    if (!silence)
        return true;
    const bool seconds = object.contains("duration") && object["duration"].is_number();
    action.seconds = seconds ? object["duration"].get<double>() : 0;
    if (!(action.seconds > 0 && action.seconds <= 1e9)) {
        error = JsonError(400, "duration: seconds above 0 are needed");
        return false;
    }
    return true;
}

}  // namespace

Response JsonError(int status, const std::string& message)
{
    return {status, ordered_json{{"error", message}}.dump() + "\n"};
}

Controller::Controller(sim::Plant& plant, const sim::Summary& summary, const Metrics& metrics, std::function<void()> stop,
                       std::size_t capacity)
    : plant_(plant), summary_(summary), metrics_(metrics), stop_(std::move(stop)), capacity_(capacity),
      lastRecord_(plant.Size())
{
}

void Controller::OnEvent(const sim::Event& event)
{
    if (event.kind == sim::EventKind::kAdded && event.device >= lastRecord_.size())
        lastRecord_.resize(event.device + 1);
    if (event.kind == sim::EventKind::kSent && event.device < lastRecord_.size())
        lastRecord_[event.device].assign(event.record);
}

Response Controller::Handle(const Request& request)
{
    const std::vector<std::string> parts = Split(request.path);
    if (request.path == "/metrics" && request.method == "GET")
        return {200, metrics_.Text(plant_.HeldCount(), plant_.ConnectedCount()), "text/plain; version=0.0.4"};
    if (request.path == "/stop" && request.method == "POST") {
        stop_();
        return Ok({{"stopping", true}});
    }
    if (request.path == "/devices" && request.method == "GET")
        return Devices();
    if (request.path == "/devices" && request.method == "POST")
        return AddDevices(request.body);
    if (parts.size() >= 2 && parts[0] == "devices")
        return OnDevice(request, parts);
    if (request.path == "/metrics" || request.path == "/stop" || request.path == "/devices")
        return JsonError(405, request.method + " is not allowed on " + request.path);
    return JsonError(404, "no such resource: " + request.path);
}

Response Controller::Devices() const
{
    std::vector<DeviceView> devices;
    devices.reserve(plant_.HeldCount());
    for (std::size_t i = 0; i < plant_.Size(); ++i) {
        if (plant_.Holds(i))
            devices.push_back(View(i));
    }
    return List(std::move(devices), 200);
}

Response Controller::List(std::vector<DeviceView> devices, int status)
{
    Response response(status, "");
    response.render = [devices = std::make_shared<const std::vector<DeviceView>>(std::move(devices))] {
        std::string body = "[";
        for (const DeviceView& device : *devices) {
            if (body.size() > 1)
                body += ',';
            body += DeviceJson(device);
        }
        body += "]\n";
        return body;
    };
    return response;
}

Response Controller::One(std::size_t index) const { return {200, DeviceJson(View(index)) + "\n"}; }

// One [[device]] table of the scenario schema, or an array of them; all are added or none.
Response Controller::AddDevices(const std::string& body)
{
    if (plant_.Ended())
        return JsonError(503, "the run is ending");
    const nlohmann::json parsed = nlohmann::json::parse(body, nullptr, false);
    const bool many = parsed.is_array();
    if (parsed.is_discarded() || !(parsed.is_object() || (many && !parsed.empty())))
        return JsonError(400, "the body is no [[device]] table as a JSON object, nor an array of them");
    std::vector<scenario::DeviceGroup> groups;
    std::vector<sim::DeviceRange> ranges;
    for (std::size_t i = 0; i < (many ? parsed.size() : 1); ++i) {
        const nlohmann::json& table = many ? parsed[i] : parsed;
        const std::string where = many ? "[" + std::to_string(i) + "] " : "";
        std::string reason;
        groups.emplace_back();
        if (!table.is_object())
            return JsonError(400, where + "is no JSON object");
        if (!ReadSchemaObject(table, scenario::ParseLiveDevice, groups.back(), reason))
            return JsonError(400, where + reason);
        ranges.push_back(groups.back().range);
    }
    Response error;
    if (!CheckNew(ranges, error))
        return error;
    std::vector<DeviceView> added;
    for (const scenario::DeviceGroup& group : groups) {
        for (const std::size_t index :
             plant_.Add(sim::ShardDevices({group.range}, 0, 1), group.setup, group.toggleEvery.value_or(0)))
            added.push_back(View(index));
    }
    return List(std::move(added), 201);
}

// The ranges do not overlap, the plant holds none of their devices yet, and it has room for them.
bool Controller::CheckNew(const std::vector<sim::DeviceRange>& ranges, Response& error) const
{
    std::string reason;
    if (!sim::CheckNoOverlap(ranges, reason)) {
        error = JsonError(400, reason);
        return false;
    }
    const std::size_t count = sim::CountDevices(ranges);
    if (count > capacity_ - std::min(capacity_, plant_.HeldCount())) {
        error = JsonError(400, std::to_string(count) + " devices more would make " +
                               std::to_string(plant_.HeldCount() + count) + "; this process holds at most " +
                               std::to_string(capacity_));
        return false;
    }
    for (const sim::DeviceRange& range : ranges) {
        for (int64_t serial = range.first; serial <= range.last; ++serial) {
            const DeviceIdentity device{range.deviceType, static_cast<int32_t>(serial)};
            if (plant_.Find(device) != plant_.Size()) {
                error = JsonError(409, sim::DeviceName(device) + " is in the plant already");
                return false;
            }
        }
    }
    return true;
}

Response Controller::OnDevice(const Request& request, const std::vector<std::string>& parts)
{
    sim::DeviceRange range;
    std::string reason;
    if (!sim::ParseDeviceRange(parts[1], range, reason) || range.first != range.last)
        return JsonError(404, "no such device: '" + parts[1] + "'");
    const std::size_t index = plant_.Find({range.deviceType, range.first});
    if (index == plant_.Size())
        return JsonError(404, "no such device: " + parts[1]);
    if (parts.size() == 2 && request.method == "DELETE") {
        if (plant_.Ended())
            return JsonError(503, "the run is ending");
        plant_.Remove(index);
        return Ok({{"removed", parts[1]}});
    }
    if (parts.size() == 2) {
        if (request.method != "GET")
            return JsonError(405, request.method + " is not allowed on a device");
        return One(index);
    }
    if (parts.size() != 3)
        return JsonError(404, "no such resource: " + request.path);
    const std::string& what = parts[2];
    const bool put = what == "temperature" || what == "profile" || what == "switch";
    const bool post = what == "disconnect" || what == "reset" || what == "reconnect" || what == "silence" || what == "fault";
    if (!put && !post)
        return JsonError(404, "no such resource: " + request.path);
    if (request.method != (put ? "PUT" : "POST"))
        return JsonError(405, request.method + " is not allowed on " + what + "; use " + (put ? "PUT" : "POST"));
    return Act(index, what, request.body);
}

Response Controller::Act(std::size_t index, const std::string& what, const std::string& body)
{
    sim::Session& session = plant_.At(index);
    const int32_t type = session.GetDevice().Identity().nDeviceType;
    if (what == "fault") {
        sim::Fault fault;
        Response error;
        if (!ReadTable(body, scenario::ParseLiveFault, fault, error))
            return error;
        if (!sim::FaultAppliesTo(fault.kind, type))
            return JsonError(400, std::string(sim::FaultKindName(fault.kind)) + " needs a Thermo-Box");
        session.InjectFault(fault);
        return One(index);
    }
    if ((what == "temperature" || what == "profile") && type != TYPE_THERMO)
        return JsonError(400, "a Relay-Box has no temperature");
    if (what == "switch" && type != TYPE_RELAY)
        return JsonError(400, "a Thermo-Box has no switch");
    sim::Action action;
    Response error;
    const bool read = what == "temperature" ? ReadTemperature(body, action, error)
                      : what == "profile"   ? ReadTable(body, scenario::ParseLiveProfile, action.profile, error)
                      : what == "switch"    ? ReadSwitch(body, action, error)
                                            : ReadConnectionAction(what, body, action, error);
    if (!read)
        return error;
    if (what == "profile")
        action.kind = sim::ActionKind::kSetProfile;
    session.Apply(action);
    return One(index);
}

DeviceView Controller::View(std::size_t index) const
{
    const sim::Session& session = plant_.At(index);
    const sim::Device& device = session.GetDevice();
    const sim::DeviceStats& stats = summary_.Devices()[index];
    return {device.Identity(),
            session.Connected(),
            device.Temperature(),
            device.GetProfile().kind,
            device.SwitchState(),
            device.Obeying(),
            std::chrono::duration<double>(device.Period()).count(),
            stats.reports,
            stats.commands,
            lastRecord_[index]};
}

void Render(Response& response)
{
    if (response.render)
        response.body = response.render();
    response.render = nullptr;
}

std::string DeviceJson(const DeviceView& device)
{
    ordered_json json = {
        {"name", sim::DeviceName(device.identity)},
        {"model", ModelKey(device.identity.nDeviceType)},
        {"serial", device.identity.nSerial},
        {"connected", device.connected},
    };
    if (device.identity.nDeviceType == TYPE_THERMO) {
        json["temperature"] = device.temperature;
        json["profile"] = sim::ProfileKindName(device.profile);
    } else {
        json["switch"] = device.switchState ? "on" : "off";
        json["obeying"] = device.obeying;
    }
    json["period"] = device.period;
    json["reports_sent"] = device.reports;
    json["commands_received"] = device.commands;
    json["last_record"] = device.lastRecord;
    return json.dump(-1, ' ', true, nlohmann::json::error_handler_t::replace);
}

}  // namespace mimicbox::control
