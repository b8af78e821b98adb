#include "tools/scenario/Scenario.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <initializer_list>
#include <sstream>
#include <toml++/toml.h>

#include "core/DeviceModel.h"
#include "tools/scenario/CsvTable.h"
#include "tools/scenario/TomlShield.h"
#include "tools/scenario/TextFile.h"

namespace mimicbox::scenario {

namespace {

// Past the 4096 bytes a server's read buffer commonly holds.
constexpr std::size_t kOversizedBytes = 5000;

// Reads one scenario's tables; the first fault ends the reading with a located message.
class Reader {
public:
    // With no file name, messages name the key alone; `live` reads a fault as the control API takes
    // it: for the next report of one device, with neither trigger nor devices.
    Reader(const std::string& fileName, const std::string& directory, std::string& error, bool live = false)
        : fileName_(fileName), directory_(directory), error_(error), live_(live)
    {
    }

    bool Fail(const toml::node& node, std::string_view key, const std::string& what)
    {
        return Fail(node.source(), key, what);
    }
    bool Fail(const toml::source_region& where, std::string_view key, const std::string& what)
    {
        const std::string message = std::string(key) + ": " + what;
        error_ = UnshieldText(fileName_.empty() ? message
                                                : fileName_ + ":" + std::to_string(where.begin.line) + ":" +
                                                      std::to_string(where.begin.column) + ": " + message);
        return false;
    }

    // Every key of the table is one of `known`.
    bool OnlyKeys(const toml::table& table, std::string_view where, std::initializer_list<std::string_view> known)
    {
        for (auto&& [key, node] : table) {
            if (std::find(known.begin(), known.end(), key.str()) == known.end())
                return Fail(key.source(), Path(where, key.str()), "unknown key");
        }
        return true;
    }

    // A number (integer or float) within [low, high], when the key is present.
    bool Number(const toml::table& table, std::string_view where, std::string_view key, double low, double high,
                std::optional<double>& value)
    {
        const toml::node* node = table.get(key);
        if (!node)
            return true;
        const std::optional<double> number = node->value<double>();
        if (!node->is_number() || !number || !std::isfinite(*number))
            return Fail(*node, Path(where, key), "must be a number");
        if (*number < low || *number > high)
            return Fail(*node, Path(where, key), "must lie from " + Text(low) + " to " + Text(high));
        value = number;
        return true;
    }
    bool Number(const toml::table& table, std::string_view where, std::string_view key, double low, double high,
                double& value)
    {
        std::optional<double> number;
        if (!Number(table, where, key, low, high, number))
            return false;
        value = number.value_or(value);
        return true;
    }

    bool Integer(const toml::table& table, std::string_view where, std::string_view key, int64_t low, int64_t high,
                 std::optional<int64_t>& value)
    {
        const toml::node* node = table.get(key);
        if (!node)
            return true;
        if (!node->is_integer())
            return Fail(*node, Path(where, key), "must be a whole number");
        const int64_t number = node->as_integer()->get();
        if (number < low || number > high)
            return Fail(*node, Path(where, key), "must lie from " + std::to_string(low) + " to " + std::to_string(high));
        value = number;
        return true;
    }

    bool String(const toml::table& table, std::string_view where, std::string_view key, std::optional<std::string>& value)
    {
        const toml::node* node = table.get(key);
        if (!node)
            return true;
        if (!node->is_string())
            return Fail(*node, Path(where, key), "must be a text in quotes");
        value = UnshieldText(node->as_string()->get());
        return true;
    }

    bool Boolean(const toml::table& table, std::string_view where, std::string_view key, bool& value)
    {
        const toml::node* node = table.get(key);
        if (!node)
            return true;
        if (!node->is_boolean())
            return Fail(*node, Path(where, key), "must be true or false");
        value = node->as_boolean()->get();
        return true;
    }

    bool Top(const toml::table& root, Scenario& scenario);
    // Calls `each` with every table of the array `key` ([[key]] in the file) and its name there.
    template <typename Each>
    bool Tables(const toml::table& root, std::string_view key, Each each);
    bool Faults(const toml::table& root, Scenario& scenario);
    bool ExpectOf(const toml::node& node, std::string_view where, sim::Expectation& expectation);
    bool Events(const toml::table& root, Scenario& scenario);
    bool EventOf(const toml::table& table, std::string_view where, const Scenario& scenario, sim::TimedAction& timed);
    bool ActionValues(const toml::table& table, std::string_view where, sim::Action& action);
    bool FaultOf(const toml::table& table, std::string_view where, const Scenario& scenario, sim::FaultRule& rule);
    bool Trigger(const toml::table& table, std::string_view where, sim::FaultTrigger& trigger);
    bool Selector(const toml::table& table, std::string_view where, const Scenario& scenario,
                  std::vector<sim::DeviceRange>& ranges);
    bool Server(const toml::table& root, Scenario& scenario);
    bool Devices(const toml::table& root, Scenario& scenario);
    bool Device(const toml::table& table, std::string_view where, DeviceGroup& group);
    bool DeviceRange(const toml::table& table, std::string_view where, DeviceGroup& group);
    bool ProfileOf(const toml::node& node, std::string_view where, sim::Profile& profile);
    bool ProfileValues(const toml::table& table, std::string_view where, sim::Profile& profile);
    bool Table(const toml::table& table, std::string_view where, sim::Profile& profile);
    bool Rows(const toml::node& node, const std::string& where, std::vector<sim::TablePoint>& points);

    static std::string Path(std::string_view where, std::string_view key)
    {
        return where.empty() ? std::string(key) : std::string(where) + "." + std::string(key);
    }
    static std::string Text(double value)
    {
        std::ostringstream text;
        text << value;
        return text.str();
    }

private:
    const std::string& fileName_;
    const std::string& directory_;
    std::string& error_;
    bool live_;
};

bool Reader::Top(const toml::table& root, Scenario& scenario)
{
    if (!OnlyKeys(root, "", {"seed", "duration", "reports", "ramp_up", "server", "device", "fault", "event", "expect"}))
        return false;
    std::optional<int64_t> seed;
    std::optional<int64_t> reports;
    if (!Integer(root, "", "seed", 0, INT64_MAX, seed) || !Number(root, "", "duration", 0.001, 1e9, scenario.duration) ||
        !Integer(root, "", "reports", 1, INT64_MAX, reports) || !Number(root, "", "ramp_up", 0, 1e9, scenario.rampUp))
        return false;
    if (seed)
        scenario.seed = static_cast<uint64_t>(*seed);
    if (reports)
        scenario.reports = static_cast<uint64_t>(*reports);
    if (!Server(root, scenario) || !Devices(root, scenario) || !Faults(root, scenario) || !Events(root, scenario))
        return false;
    if (const toml::node* expect = root.get("expect")) {
        sim::Expectation expectation;
        if (!ExpectOf(*expect, "expect", expectation))
            return false;
        scenario.expectations.insert(scenario.expectations.begin(), expectation);
    }
    return true;
}

bool Reader::ExpectOf(const toml::node& node, std::string_view where, sim::Expectation& expectation)
{
    const toml::table* table = node.as_table();
    if (!table)
        return Fail(node, where, "must be a table such as { connection = \"kept\" }");
    std::optional<std::string> connection;
    if (!OnlyKeys(*table, where, {"connection", "within", "toggles", "no_unreadable_commands"}) ||
        !String(*table, where, "connection", connection) || !Number(*table, where, "within", 0, 1e9, expectation.within) ||
        !Boolean(*table, where, "no_unreadable_commands", expectation.noUnreadableCommands))
        return false;
    if (connection == "kept")
        expectation.connection = sim::ConnectionExpectation::kKept;
    else if (connection == "closed")
        expectation.connection = sim::ConnectionExpectation::kClosed;
    else if (connection)
        return Fail(*table->get("connection"), Path(where, "connection"), "must be \"kept\" or \"closed\"");
    if (expectation.within && expectation.connection != sim::ConnectionExpectation::kClosed)
        return Fail(*table->get("within"), Path(where, "within"), "needs connection = \"closed\"");
    const toml::node* toggles = table->get("toggles");
    if (!toggles)
        return true;
    const std::string at = Path(where, "toggles");
    if (!toggles->is_table())
        return Fail(*toggles, at, "must be a table such as { min = 1, max = 3 }");
    std::optional<int64_t> low;
    std::optional<int64_t> high;
    if (!OnlyKeys(*toggles->as_table(), at, {"min", "max"}) || !Integer(*toggles->as_table(), at, "min", 0, INT64_MAX, low) ||
        !Integer(*toggles->as_table(), at, "max", 0, INT64_MAX, high))
        return false;
    if (!low && !high)
        return Fail(*toggles, at, "give min, max or both");
    if (low && high && *low > *high)
        return Fail(*toggles, Path(at, "min"), "must not lie above max");
    if (low)
        expectation.minToggles = static_cast<uint64_t>(*low);
    if (high)
        expectation.maxToggles = static_cast<uint64_t>(*high);
    return true;
}

template <typename Each>
bool Reader::Tables(const toml::table& root, std::string_view key, Each each)
{
    const toml::node* node = root.get(key);
    if (!node)
        return true;
    const toml::array* entries = node->as_array();
    if (!entries)
        return Fail(*node, key, "must be a list of [[" + std::string(key) + "]] tables");
    for (std::size_t i = 0; i < entries->size(); ++i) {
        const toml::node& entry = *entries->get(i);
        const std::string where = std::string(key) + "[" + std::to_string(i + 1) + "]";
        if (!entry.is_table())
            return Fail(entry, where, "must be a table");
        if (!each(*entry.as_table(), where))
            return false;
    }
    return true;
}

bool Reader::Events(const toml::table& root, Scenario& scenario)
{
    return Tables(root, "event", [&](const toml::table& table, const std::string& where) {
        sim::TimedAction timed;
        if (!EventOf(table, where, scenario, timed))
            return false;
        scenario.actions.push_back(std::move(timed));
        return true;
    });
}

bool Reader::EventOf(const toml::table& table, std::string_view where, const Scenario& scenario, sim::TimedAction& timed)
{
    if (!OnlyKeys(table, where, {"at", "every", "devices", "action", "duration", "value", "profile", "state", "period"}))
        return false;
    std::optional<double> at;
    std::optional<std::string> name;
    if (!Number(table, where, "at", 0, 1e9, at) || !Number(table, where, "every", 0.001, 1e9, timed.every) ||
        !String(table, where, "action", name) || !Selector(table, where, scenario, timed.devices))
        return false;
    if (!at)
        return Fail(table, Path(where, "at"), "missing: the seconds from the start");
    timed.at = *at;
    if (!name)
        return Fail(table, Path(where, "action"), "missing: what happens, such as \"silence\"");
    if (!sim::ParseActionKind(*name, timed.action.kind))
        return Fail(*table.get("action"), Path(where, "action"),
                    "must be disconnect, reset, silence, reconnect, set-temperature, set-profile, set-switch, "
                    "set-period, ignore-commands or obey-commands");
    const bool fitsOne = timed.devices.empty() ||
                         std::any_of(timed.devices.begin(), timed.devices.end(), [&](const sim::DeviceRange& range) {
                             return sim::ActionAppliesTo(timed.action.kind, range.deviceType);
                         });
    if (!fitsOne)
        return Fail(*table.get("action"), Path(where, "action"), *name + " does not fit the model of these devices");
    return ActionValues(table, where, timed.action);
}

bool Reader::ActionValues(const toml::table& table, std::string_view where, sim::Action& action)
{
    // Each action takes its own value and no other.
    const std::pair<sim::ActionKind, std::string_view> owners[] = {
        {sim::ActionKind::kSilence, "duration"},   {sim::ActionKind::kSetTemperature, "value"},
        {sim::ActionKind::kSetProfile, "profile"}, {sim::ActionKind::kSetSwitch, "state"},
        {sim::ActionKind::kSetPeriod, "period"},
    };
    for (const auto& [kind, key] : owners) {
        const toml::node* value = table.get(key);
        if (kind == action.kind && !value)
            return Fail(table, Path(where, key), "missing for " + std::string(sim::ActionKindName(kind)));
        if (kind != action.kind && value)
            return Fail(*value, Path(where, key), "does not belong to " + std::string(sim::ActionKindName(action.kind)));
    }
    std::optional<double> temperature;
    std::optional<std::string> state;
    if (!Number(table, where, "duration", 0.001, 1e9, action.seconds) || !Number(table, where, "period", 0.001, 86400, action.seconds) ||
        !Number(table, where, "value", TEMP_MIN, TEMP_MAX, temperature) || !String(table, where, "state", state))
        return false;
    if (temperature)
        action.temperature = Text(*temperature);
    if (const toml::node* profile = table.get("profile"); profile && !ProfileOf(*profile, Path(where, "profile"), action.profile))
        return false;
    if (state && !sim::ParseSwitchChange(*state, action.change))
        return Fail(*table.get("state"), Path(where, "state"), "must be \"on\", \"off\" or \"toggle\"");
    return true;
}

bool Reader::Faults(const toml::table& root, Scenario& scenario)
{
    return Tables(root, "fault", [&](const toml::table& table, const std::string& where) {
        sim::FaultRule rule;
        if (!FaultOf(table, where, scenario, rule))
            return false;
        scenario.faults.push_back(std::move(rule));
        return true;
    });
}

bool Reader::FaultOf(const toml::table& table, std::string_view where, const Scenario& scenario, sim::FaultRule& rule)
{
    if (!OnlyKeys(table, where, {"devices", "kind", "at", "every", "probability", "delay", "bytes", "seconds", "value"}))
        return false;
    std::optional<std::string> kind;
    if (!String(table, where, "kind", kind))
        return false;
    if (!kind)
        return Fail(table, Path(where, "kind"), "missing: the fault, such as \"split\"");
    if (!sim::ParseFaultKind(*kind, rule.fault.kind))
        return Fail(*table.get("kind"), Path(where, "kind"),
                    "must be missing-nul, double-nul, split, garbage, oversized, bad-header, wrong-type, duplicate, "
                    "stale-clock, future-clock, clock-2038, out-of-range or stop-reading");
    std::optional<int64_t> bytes;
    if (!Trigger(table, where, rule.fault.trigger) || !Selector(table, where, scenario, rule.devices) ||
        !Number(table, where, "delay", 0, 60, rule.fault.delay) || !Integer(table, where, "bytes", 1, 1000000, bytes) ||
        !Number(table, where, "seconds", 0, 1e9, rule.fault.seconds) || !Number(table, where, "value", -1e9, 1e9, rule.fault.value))
        return false;
    if (bytes)
        rule.fault.bytes = static_cast<std::size_t>(*bytes);
    else if (rule.fault.kind == sim::FaultKind::kOversized)
        rule.fault.bytes = kOversizedBytes;
    if (rule.fault.kind == sim::FaultKind::kClock2038 && !table.get("seconds"))
        rule.fault.seconds = 0;
    if (rule.fault.value >= TEMP_MIN && rule.fault.value <= TEMP_MAX)
        return Fail(*table.get("value"), Path(where, "value"), "must lie outside -30 to 150");
    const bool anyThermo = rule.devices.empty() ||
                           std::any_of(rule.devices.begin(), rule.devices.end(),
                                       [](const sim::DeviceRange& range) { return range.deviceType == TYPE_THERMO; });
    if (!anyThermo && !sim::FaultAppliesTo(rule.fault.kind, TYPE_RELAY))
        return Fail(*table.get("kind"), Path(where, "kind"), *kind + " needs a Thermo-Box: a Relay-Box has no temperature");
    return true;
}

bool Reader::Trigger(const toml::table& table, std::string_view where, sim::FaultTrigger& trigger)
{
    std::optional<int64_t> every;
    std::optional<double> probability;
    if (!Number(table, where, "at", 0, 1e9, trigger.at) || !Integer(table, where, "every", 1, INT64_MAX, every) ||
        !Number(table, where, "probability", 0, 1, probability))
        return false;
    const int triggers = trigger.at.has_value() + every.has_value() + probability.has_value();
    if (live_ && triggers != 0)
        return Fail(table, Path(where, "at"), "a fault given live applies to the next report: give no trigger");
    if (!live_ && triggers != 1)
        return Fail(table, Path(where, "at"), "give one of at = SECONDS, every = N or probability = P");
    trigger.every = every ? static_cast<uint64_t>(*every) : 0;
    trigger.probability = probability.value_or(0);
    return true;
}

bool Reader::Selector(const toml::table& table, std::string_view where, const Scenario& scenario,
                      std::vector<sim::DeviceRange>& ranges)
{
    std::optional<std::string> text;
    if (!String(table, where, "devices", text))
        return false;
    if (!text)
        return true;
    if (live_)
        return Fail(*table.get("devices"), Path(where, "devices"), "the request names the device");
    std::string reason;
    if (!ParseDeviceSelector(*text, ranges, reason))
        return Fail(*table.get("devices"), Path(where, "devices"), reason);
    // Every device named must be one of the scenario's, unless the command line gives the devices.
    for (const sim::DeviceRange& range : ranges) {
        std::size_t covered = 0;
        for (const DeviceGroup& group : scenario.devices) {
            if (group.range.deviceType == range.deviceType)
                covered += static_cast<std::size_t>(std::max<int64_t>(
                    0, int64_t{std::min(group.range.last, range.last)} - std::max(group.range.first, range.first) + 1));
        }
        if (!scenario.devices.empty() && covered < range.Size())
            return Fail(*table.get("devices"), Path(where, "devices"), "names devices that no [[device]] table gives");
    }
    return true;
}

bool Reader::Server(const toml::table& root, Scenario& scenario)
{
    const toml::node* node = root.get("server");
    if (!node)
        return true;
    const toml::table* server = node->as_table();
    if (!server)
        return Fail(*node, "server", "must be a table");
    std::optional<int64_t> port;
    if (!OnlyKeys(*server, "server", {"host", "port"}) || !String(*server, "server", "host", scenario.host) ||
        !Integer(*server, "server", "port", 1, 65535, port))
        return false;
    if (scenario.host && scenario.host->empty())
        return Fail(*server->get("host"), "server.host", "must name a host");
    if (port)
        scenario.port = static_cast<unsigned>(*port);
    return true;
}

bool Reader::Devices(const toml::table& root, Scenario& scenario)
{
    std::vector<sim::DeviceRange> ranges;
    return Tables(root, "device", [&](const toml::table& table, const std::string& where) {
        DeviceGroup group;
        if (!Device(table, where, group))
            return false;
        ranges.push_back(group.range);
        std::string overlap;
        if (!sim::CheckNoOverlap(ranges, overlap))
            return Fail(table, where, overlap);
        if (group.expectation)
            scenario.expectations.push_back(*group.expectation);
        if (group.toggleEvery) {
            sim::TimedAction toggle;
            toggle.action.kind = sim::ActionKind::kSetSwitch;
            toggle.at = toggle.every = *group.toggleEvery;
            toggle.devices = {group.range};
            scenario.actions.push_back(toggle);
        }
        scenario.devices.push_back(std::move(group));
        return true;
    });
}

bool Reader::Device(const toml::table& table, std::string_view where, DeviceGroup& group)
{
    if (!OnlyKeys(table, where, {"model", "serial", "serials", "temperature", "profile", "toggle_every", "expect"}) ||
        !DeviceRange(table, where, group) || !Number(table, where, "toggle_every", 0.001, 1e9, group.toggleEvery))
        return false;
    const bool thermo = group.range.deviceType == TYPE_THERMO;
    if (thermo && table.get("toggle_every"))
        return Fail(*table.get("toggle_every"), Path(where, "toggle_every"), "a Thermo-Box has no switch");
    for (std::string_view key : {"temperature", "profile"}) {
        if (!thermo && table.get(key))
            return Fail(*table.get(key), Path(where, key), "a Relay-Box has no temperature");
    }
    std::optional<double> temperature;
    if (!Number(table, where, "temperature", TEMP_MIN, TEMP_MAX, temperature))
        return false;
    if (temperature)
        group.setup.temperatureText = Text(*temperature);
    if (const toml::node* expect = table.get("expect")) {
        if (live_)
            return Fail(*expect, Path(where, "expect"), "expectations are given when the run starts, in its scenario");
        group.expectation.emplace();
        group.expectation->devices = {group.range};
        if (!ExpectOf(*expect, Path(where, "expect"), *group.expectation))
            return false;
    }
    if (const toml::node* profile = table.get("profile"))
        return ProfileOf(*profile, Path(where, "profile"), group.setup.profile);
    return true;
}

bool Reader::DeviceRange(const toml::table& table, std::string_view where, DeviceGroup& group)
{
    std::optional<std::string> model;
    std::optional<std::string> serials;
    std::optional<int64_t> serial;
    if (!String(table, where, "model", model) || !String(table, where, "serials", serials) ||
        !Integer(table, where, "serial", 1, sim::kMaxSerial, serial))
        return false;
    if (!model)
        return Fail(table, Path(where, "model"), "missing: \"thermo\" or \"relay\"");
    if (*model != MODEL_KEY_THERMO && *model != MODEL_KEY_RELAY)
        return Fail(*table.get("model"), Path(where, "model"), "must be \"thermo\" or \"relay\"");
    if (serial.has_value() == serials.has_value())
        return Fail(table, Path(where, "serial"), "give either serial = N or serials = \"FIRST-LAST\"");
    const std::string text = *model + ":" + (serial ? std::to_string(*serial) : *serials);
    std::string reason;
    if (!sim::ParseDeviceRange(text, group.range, reason)) {
        const std::string_view key = serial ? "serial" : "serials";
        return Fail(*table.get(key), Path(where, key), reason);
    }
    return true;
}

bool Reader::ProfileOf(const toml::node& node, std::string_view where, sim::Profile& profile)
{
    const toml::table* table = node.as_table();
    if (!table)
        return Fail(node, where, "must be a table such as { kind = \"sine\", mean = 20.0, amplitude = 5.0 }");
    std::optional<std::string> kind;
    if (!String(*table, where, "kind", kind))
        return false;
    profile = sim::Profile{};
    if (!kind || !sim::ParseProfileKind(*kind, profile.kind))
        return Fail(table->get("kind") ? table->get("kind")->source() : node.source(), Path(where, "kind"),
                    "must be steps, ramp, sine, random-walk or csv");
    return ProfileValues(*table, where, profile);
}

bool Reader::ProfileValues(const toml::table& table, std::string_view where, sim::Profile& profile)
{
    constexpr double kAny = 1e9;
    switch (profile.kind) {
    case sim::ProfileKind::kSteps: {
        std::optional<std::string> mode;
        if (!OnlyKeys(table, where, {"kind", "mode"}) || !String(table, where, "mode", mode))
            return false;
        if (mode && !sim::ParseStepMode(*mode, profile.stepMode))
            return Fail(*table.get("mode"), Path(where, "mode"), "must be none, up, up-fast, down or down-fast");
        return true;
    }
    case sim::ProfileKind::kRamp:
        return OnlyKeys(table, where, {"kind", "rate", "to"}) && Number(table, where, "rate", -kAny, kAny, profile.rate) &&
               Number(table, where, "to", TEMP_MIN, TEMP_MAX, profile.to);
    case sim::ProfileKind::kSine:
        return OnlyKeys(table, where, {"kind", "mean", "amplitude", "period", "phase"}) &&
               Number(table, where, "mean", -kAny, kAny, profile.mean) &&
               Number(table, where, "amplitude", -kAny, kAny, profile.amplitude) &&
               Number(table, where, "period", 0.001, kAny, profile.period) &&
               Number(table, where, "phase", -kAny, kAny, profile.phase);
    case sim::ProfileKind::kRandomWalk:
        if (!OnlyKeys(table, where, {"kind", "sigma", "min", "max"}) ||
            !Number(table, where, "sigma", 0, TEMP_MAX - TEMP_MIN, profile.sigma) ||
            !Number(table, where, "min", TEMP_MIN, TEMP_MAX, profile.min) ||
            !Number(table, where, "max", TEMP_MIN, TEMP_MAX, profile.max))
            return false;
        if (profile.min > profile.max)
            return Fail(*table.get("min"), Path(where, "min"), "must not lie above max");
        return true;
    case sim::ProfileKind::kTable:
        return Table(table, where, profile);
    }
    return true;
}

bool Reader::Table(const toml::table& table, std::string_view where, sim::Profile& profile)
{
    std::optional<std::string> file;
    std::optional<std::string> csv;
    std::optional<std::string> interpolation;
    if (!OnlyKeys(table, where, {"kind", "file", "rows", "csv", "interpolation", "loop"}) ||
        !String(table, where, "file", file) || !String(table, where, "csv", csv) ||
        !String(table, where, "interpolation", interpolation) || !Boolean(table, where, "loop", profile.loop))
        return false;
    const toml::node* rows = table.get("rows");
    if (file.has_value() + csv.has_value() + (rows != nullptr) != 1)
        return Fail(table, Path(where, "file"),
                    "give one of file = \"NAME.csv\", csv = \"SECONDS,VALUE rows\" or rows = [[SECONDS, VALUE], ...]");
    if (interpolation && *interpolation != "hold" && *interpolation != "linear")
        return Fail(*table.get("interpolation"), Path(where, "interpolation"), "must be \"hold\" or \"linear\"");
    profile.linear = interpolation == "linear";
    auto points = std::make_shared<std::vector<sim::TablePoint>>();
    std::string reason;
    if (rows) {
        if (!Rows(*rows, Path(where, "rows"), *points))
            return false;
    } else if (csv) {
        if (!ParseCsvTable(*csv, *points, reason))
            return Fail(*table.get("csv"), Path(where, "csv"), reason);
    } else if (live_) {
        // Read later, away from the runner's loop, from the folder the user allows.
        profile.file = *file;
        return true;
    } else if (!ReadCsvTable((std::filesystem::path(directory_) / *file).string(), *points, reason)) {
        return Fail(*table.get("file"), Path(where, "file"), reason);
    }
    profile.points = std::move(points);
    return true;
}

bool Reader::Rows(const toml::node& node, const std::string& where, std::vector<sim::TablePoint>& points)
{
    const toml::array* rows = node.as_array();
    if (!rows || rows->empty())
        return Fail(node, where, "must be a list of [SECONDS, VALUE] rows");
    for (std::size_t i = 0; i < rows->size(); ++i) {
        const toml::array* row = rows->get(i)->as_array();
        const std::string at = where + "[" + std::to_string(i + 1) + "]";
        const std::optional<double> seconds = row && row->size() == 2 ? row->get(0)->value<double>() : std::nullopt;
        const std::optional<double> value = row && row->size() == 2 ? row->get(1)->value<double>() : std::nullopt;
        if (!seconds || !value || !std::isfinite(*seconds) || !std::isfinite(*value) || !row->get(0)->is_number() ||
            !row->get(1)->is_number())
            return Fail(*rows->get(i), at, "must be two numbers [SECONDS, VALUE]");
        if (*seconds < 0 || (!points.empty() && *seconds <= points.back().seconds))
            return Fail(*rows->get(i), at, "seconds must start from 0 or later and rise");
        points.push_back({*seconds, *value});
    }
    return true;
}

}  // namespace

bool ParseDeviceSelector(std::string_view text, std::vector<sim::DeviceRange>& ranges, std::string& error)
{
    ranges.clear();
    if (text == "all")
        return true;
    sim::DeviceRange range;
    if (!sim::ParseDeviceRange(text, range, error))
        return false;
    ranges.push_back(range);
    return true;
}

bool ParseScenario(std::string_view text, const std::string& fileName, const std::string& directory,
                   Scenario& scenario, std::string& error)
{
    scenario = Scenario{};
    std::string shielded;
    TextPosition refused;
    if (!ShieldText(text, shielded, refused)) {
        error = fileName + ":" + std::to_string(refused.line) + ":" + std::to_string(refused.column) +
                ": not taken: a character from U+F0000 to U+FFFFF (private use)";
        return false;
    }
    toml::parse_result result = toml::parse(std::string_view(shielded), fileName);
    if (!result) {
        const toml::parse_error& failure = result.error();
        error = fileName + ":" + std::to_string(failure.source().begin.line) + ":" +
                std::to_string(failure.source().begin.column) +
                ": not TOML: " + UnshieldText(failure.description());
        return false;
    }
    Reader reader(fileName, directory, error);
    return reader.Top(result.table(), scenario);
}

namespace {

// The single value of "value = TEXT", when TEXT is one TOML value.
bool ParseLiveValue(std::string_view text, toml::parse_result& result, std::string& error)
{
    std::string shielded;
    TextPosition refused;
    if (!ShieldText(text, shielded, refused)) {
        error = "a character from U+F0000 to U+FFFFF (private use) is not taken";
        return false;
    }
    const std::string document = "value = " + shielded + "\n";
    result = toml::parse(std::string_view(document), std::string_view("control"));
    if (!result) {
        error = "not a table of the scenario schema: " + UnshieldText(result.error().description());
        return false;
    }
    return true;
}

}  // namespace

bool ParseLiveProfile(std::string_view text, sim::Profile& profile, std::string& error)
{
    toml::parse_result result;
    if (!ParseLiveValue(text, result, error))
        return false;
    const std::string none;
    Reader reader(none, ".", error, true);
    return reader.ProfileOf(*result.table().get("value"), "profile", profile);
}

bool ParseLiveFault(std::string_view text, sim::Fault& fault, std::string& error)
{
    toml::parse_result result;
    if (!ParseLiveValue(text, result, error))
        return false;
    const toml::node& node = *result.table().get("value");
    const std::string none;
    Reader reader(none, ".", error, true);
    if (!node.is_table()) {
        error = "fault: must be a table such as { kind = \"split\" }";
        return false;
    }
    sim::FaultRule rule;
    if (!reader.FaultOf(*node.as_table(), "fault", Scenario{}, rule))
        return false;
    fault = rule.fault;
    return true;
}

bool ParseLiveDevice(std::string_view text, DeviceGroup& group, std::string& error)
{
    toml::parse_result result;
    if (!ParseLiveValue(text, result, error))
        return false;
    const toml::node& node = *result.table().get("value");
    if (!node.is_table()) {
        error = "device: must be a table such as { model = \"thermo\", serial = 5 }";
        return false;
    }
    const std::string none;
    Reader reader(none, ".", error, true);
    return reader.Device(*node.as_table(), "device", group);
}

bool LoadScenario(const std::string& path, Scenario& scenario, std::string& error)
{
    std::string text;
    std::string why;
    if (!ReadTextFile(path, text, why)) {
        error = "cannot read the scenario " + path + ": " + why;
        return false;
    }
    const std::filesystem::path directory = std::filesystem::path(path).parent_path();
    return ParseScenario(text, path, directory.empty() ? "." : directory.string(), scenario, error);
}

}  // namespace mimicbox::scenario
