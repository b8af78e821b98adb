#include "tools/report/LoggedEvent.h"

#include <ctime>
#include <nlohmann/json.hpp>

#include "tools/sim/Action.h"
#include "tools/sim/DeviceRange.h"
#include "tools/sim/Fault.h"

namespace mimicbox::report {

namespace {

using Json = nlohmann::json;

// The log writes each byte as the code point of the same number; anything above 255 is no byte.
bool Utf8ToLatin1(const std::string& text, std::string& bytes)
{
    bytes.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            bytes.push_back(static_cast<char>(byte));
        } else if ((byte & 0xFE) == 0xC2 && i + 1 < text.size()) {
            bytes.push_back(static_cast<char>(((byte & 0x03) << 6) | (static_cast<unsigned char>(text[++i]) & 0x3F)));
        } else {
            return false;
        }
    }
    return true;
}

bool KindOf(const std::string& name, const std::string& reason, sim::EventKind& kind)
{
    static const std::pair<const char*, sim::EventKind> kNames[] = {
        {"connected", sim::EventKind::kConnected}, {"connect-failed", sim::EventKind::kConnectFailed},
        {"sent", sim::EventKind::kSent},           {"received", sim::EventKind::kReceived},
        {"gave-up", sim::EventKind::kGaveUp},      {"event", sim::EventKind::kAction},
        {"added", sim::EventKind::kAdded},         {"removed", sim::EventKind::kRemoved},
    };
    if (name == "closed") {
        // The log writes three kinds as one: the run's stop, an action's close, and a loss.
        kind = reason == "stopped"                              ? sim::EventKind::kStopped
               : (reason == "disconnect" || reason == "reset") ? sim::EventKind::kClosed
                                                               : sim::EventKind::kLost;
        return true;
    }
    for (const auto& [known, value] : kNames) {
        if (name == known) {
            kind = value;
            return true;
        }
    }
    return false;
}

bool ReadNames(const Json& line, LoggedEvent& logged)
{
    sim::Event& event = logged.event;
    if (line.contains("fault")) {
        sim::FaultKind fault{};
        if (!line["fault"].is_string() || !sim::ParseFaultKind(line["fault"].get<std::string>(), fault))
            return false;
        event.fault = sim::FaultKindName(fault);
    }
    if (line.contains("action")) {
        sim::ActionKind action{};
        if (!line["action"].is_string() || !sim::ParseActionKind(line["action"].get<std::string>(), action))
            return false;
        event.action = sim::ActionKindName(action);
    }
    return true;
}

bool ReadFields(const Json& line, LoggedEvent& logged, std::string& error)
{
    sim::Event& event = logged.event;
    if (!line.contains("t") || !line["t"].is_number() || !line.contains("device") || !line["device"].is_string() ||
        !line.contains("event") || !line["event"].is_string() || !line.contains("time") || !line["time"].is_string())
        return (error = "not an event of a --log-json file"), false;
    logged.t = line["t"].get<double>();
    sim::DeviceRange range;
    std::string why;
    if (!sim::ParseDeviceRange(line["device"].get<std::string>(), range, why) || range.first != range.last)
        return (error = "no device: " + line["device"].dump()), false;
    event.identity = {range.deviceType, range.first};
    if (!ParseIsoTime(line["time"].get<std::string>(), event.calendarMillis))
        return (error = "no time: " + line["time"].dump()), false;
    const std::string reasonText = line.value("reason", std::string());
    if (!Utf8ToLatin1(line.value("record", std::string()), logged.record) || !Utf8ToLatin1(reasonText, logged.reason))
        return (error = "a record or reason that is no bytes"), false;
    if (!KindOf(line["event"].get<std::string>(), logged.reason, event.kind))
        return (error = "no such event: " + line["event"].dump()), false;
    // Only records sent and received carry bytes; a stray "record" elsewhere is no part of the event.
    if (event.kind != sim::EventKind::kSent && event.kind != sim::EventKind::kReceived)
        logged.record.clear();
    event.lateness = sim::Seconds(line.value("lateness", 0.0));
    event.read = line.value("read", true);
    event.dropped = !event.read && line.value("dropped", false);
    event.toggled = line.value("toggled", false);
    event.faultTable = line.value("fault_table", std::size_t{0});
    event.liveFault = line.value("live_fault", uint64_t{0});
    if (!ReadNames(line, logged))
        return (error = "an unknown fault or action"), false;
    // The rest of the report takes an action event to name its action, as the log always does.
    if (event.kind == sim::EventKind::kAction && !event.action)
        return (error = "an event without its action"), false;
    return true;
}

}  // namespace

bool ParseIsoTime(std::string_view text, int64_t& millis)
{
    std::tm utc{};
    int milli = 0;
    int used = 0;
    const std::string copy(text);
    if (std::sscanf(copy.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%3dZ%n", &utc.tm_year, &utc.tm_mon, &utc.tm_mday,
                    &utc.tm_hour, &utc.tm_min, &utc.tm_sec, &milli, &used) != 7 ||
        used != static_cast<int>(copy.size()) || utc.tm_year < 1970)
        return false;
    utc.tm_year -= 1900;
    utc.tm_mon -= 1;
    millis = static_cast<int64_t>(::timegm(&utc)) * 1000 + milli;
    return true;
}

bool ParseLoggedEvent(std::string_view line, LoggedEvent& logged, std::string& error)
{
    const Json json = Json::parse(line, nullptr, false);
    if (json.is_discarded() || !json.is_object()) {
        error = "not JSON";
        return false;
    }
    logged = LoggedEvent{};
    try {
        if (!ReadFields(json, logged, error))
            return false;
    } catch (const Json::exception&) {
        // A key of the wrong type: value() throws rather than guess.
        error = "a value of the wrong type";
        return false;
    }
    logged.event.record = logged.record;
    logged.event.reason = logged.reason;
    return true;
}

}  // namespace mimicbox::report
