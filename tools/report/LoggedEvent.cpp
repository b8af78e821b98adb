#include "tools/report/LoggedEvent.h"

#include <cmath>
#include <ctime>
#include <nlohmann/json.hpp>

#include "tools/report/ByteText.h"
#include "tools/sim/Action.h"
#include "tools/sim/DeviceRange.h"
#include "tools/sim/Fault.h"

namespace mimicbox::report {

namespace {

using Json = nlohmann::json;

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
    if (line.contains("profile")) {
        sim::ProfileKind profile{};
        if (!line["profile"].is_string() || !sim::ParseProfileKind(line["profile"].get<std::string>(), profile))
            return false;
        event.profile = sim::ProfileKindName(profile);
    }
    return true;
}

// A number of seconds within what a run's clock holds, either way from zero.
bool Seconds(const Json& line, const char* key, double low, double& seconds)
{
    const auto found = line.find(key);
    if (found == line.end())
        return true;
    if (!found->is_number())
        return false;
    seconds = found->get<double>();
    return std::isfinite(seconds) && seconds >= low && seconds <= kLongestLogTime;
}

bool ReadTimes(const Json& line, LoggedEvent& logged, std::string& error)
{
    if (!line["t"].is_number() || !Seconds(line, "t", 0, logged.t))
        return (error = "\"t\" is " + line["t"].dump() + ": no time of a run (0 to 1e9 seconds)"), false;
    double lateness = 0;
    if (!Seconds(line, "lateness", -kLongestLogTime, lateness))
        return (error = "\"lateness\" is " + line["lateness"].dump() + ": no lateness (-1e9 to 1e9 seconds)"), false;
    logged.event.lateness = sim::Seconds(lateness);
    if (!line["time"].is_string() || !ParseIsoTime(line["time"].get<std::string>(), logged.event.calendarMillis))
        return (error = "\"time\" is " + line["time"].dump() + ": no time of the calendar"), false;
    return true;
}

bool ReadFields(const Json& line, LoggedEvent& logged, std::string& error)
{
    sim::Event& event = logged.event;
    if (!line.contains("t") || !line.contains("device") || !line["device"].is_string() || !line.contains("time"))
        return (error = "an event needs \"t\", \"time\" and \"device\""), false;
    if (!ReadTimes(line, logged, error))
        return false;
    sim::DeviceRange range;
    std::string why;
    if (!sim::ParseDeviceRange(line["device"].get<std::string>(), range, why) || range.first != range.last)
        return (error = "no device: " + line["device"].dump()), false;
    event.identity = {range.deviceType, range.first};
    const std::string reasonText = line.value("reason", std::string());
    if (!Utf8ToLatin1(line.value("record", std::string()), logged.record) || !Utf8ToLatin1(reasonText, logged.reason))
        return (error = "a record or reason that is no bytes"), false;
    if (!line["event"].is_string() || !KindOf(line["event"].get<std::string>(), logged.reason, event.kind))
        return (error = "no such event: " + line["event"].dump()), false;
    // Only records sent and received carry bytes; a stray "record" elsewhere is no part of the event.
    if (event.kind != sim::EventKind::kSent && event.kind != sim::EventKind::kReceived)
        logged.record.clear();
    event.read = line.value("read", true);
    event.dropped = !event.read && line.value("dropped", false);
    event.toggled = line.value("toggled", false);
    event.faultTable = line.value("fault_table", std::size_t{0});
    event.liveFault = line.value("live_fault", uint64_t{0});
    if (!ReadNames(line, logged))
        return (error = "an unknown fault, action or profile"), false;
    // The rest of the report takes an action event to name its action, as the log always does.
    if (event.kind == sim::EventKind::kAction && !event.action)
        return (error = "an event without its action"), false;
    return true;
}

bool ReadRun(const Json& line, RunIdentity& run, int64_t& startMillis, std::string& error)
{
    const auto text = [&](const char* key) { return line.contains(key) && line[key].is_string() ? line[key].get<std::string>() : ""; };
    run.run = text("run");
    run.plant = text("plant");
    const std::string shard = text("shard");
    unsigned long long index = 0;
    unsigned long long count = 0;
    int used = 0;
    if (!IsPlantId(run.run) || !IsPlantId(run.plant) ||
        std::sscanf(shard.c_str(), "%llu/%llu%n", &index, &count, &used) != 2 || used != static_cast<int>(shard.size()) ||
        count == 0 || index >= count || count > 1000000)
        return (error = "a run line needs \"run\", \"plant\" and \"shard\": \"K/N\""), false;
    run.shard = static_cast<std::size_t>(index);
    run.shards = static_cast<std::size_t>(count);
    if (!line.contains("time") || !line["time"].is_string() || !ParseIsoTime(line["time"].get<std::string>(), startMillis))
        return (error = "a run line needs its \"time\""), false;
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
        used != static_cast<int>(copy.size()) || utc.tm_year < 1970 || milli < 0)
        return false;
    const std::tm written = utc;
    utc.tm_year -= 1900;
    utc.tm_mon -= 1;
    const std::time_t seconds = ::timegm(&utc);
    // timegm carries a 31st of February into March: a date of the calendar comes back unchanged.
    if (utc.tm_year + 1900 != written.tm_year || utc.tm_mon + 1 != written.tm_mon || utc.tm_mday != written.tm_mday ||
        utc.tm_hour != written.tm_hour || utc.tm_min != written.tm_min || utc.tm_sec != written.tm_sec)
        return false;
    millis = static_cast<int64_t>(seconds) * 1000 + milli;
    return true;
}

LogLine ReadLogLine(std::string_view line, LoggedEvent& logged, RunIdentity& run, int64_t& startMillis,
                    std::string& error)
{
    const Json json = Json::parse(line, nullptr, false);
    if (json.is_discarded() || !json.is_object() || !json.contains("event")) {
        error = "not an event of a --log-json file";
        return LogLine::kOther;
    }
    if (json["event"] == "run")
        return ReadRun(json, run, startMillis, error) ? LogLine::kRun : LogLine::kBroken;
    logged = LoggedEvent{};
    try {
        if (!ReadFields(json, logged, error))
            return LogLine::kBroken;
    } catch (const Json::exception&) {
        // A key of the wrong type: value() throws rather than guess.
        error = "a value of the wrong type";
        return LogLine::kBroken;
    }
    logged.event.record = logged.record;
    logged.event.reason = logged.reason;
    return LogLine::kEvent;
}

bool ParseLoggedEvent(std::string_view line, LoggedEvent& logged, std::string& error)
{
    RunIdentity run;
    int64_t start = 0;
    const LogLine kind = ReadLogLine(line, logged, run, start, error);
    if (kind == LogLine::kRun)
        error = "a run line, no event";
    return kind == LogLine::kEvent;
}

}  // namespace mimicbox::report
