#include "tools/scenario/TomlScenario.h"

#include "tools/scenario/TomlTableReader.h"

namespace mimicbox::scenario {

namespace {

void ReadRows(TableReader& reader, sim::ProfileEntry& profile)
{
    const toml::node* node = reader.Get("rows");
    if (!node)
        return;
    const std::string path = reader.At("rows");
    if (!node->is_array()) {
        reader.Fail(*node, path, "must be a list of [SECONDS, VALUE] rows");
        return;
    }
    profile.rows.emplace();
    const toml::array& rows = *node->as_array();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const toml::array* row = rows.get(i)->as_array();
        std::vector<double> values;
        for (std::size_t k = 0; row && k < row->size(); ++k) {
            if (!row->get(k)->is_number())
                break;
            values.push_back(*row->get(k)->value<double>());
        }
        if (!row || values.size() != row->size()) {
            reader.Fail(*rows.get(i), path + "[" + std::to_string(i + 1) + "]", "must be two numbers [SECONDS, VALUE]");
            return;
        }
        reader.Locate(path + "[" + std::to_string(i + 1) + "]", *rows.get(i));
        profile.rows->push_back(std::move(values));
    }
}

void ReadProfile(TableReader& reader, std::optional<sim::ProfileEntry>& value)
{
    const toml::table* table = reader.Table("profile", " such as { kind = \"sine\", mean = 20.0, amplitude = 5.0 }");
    if (!table)
        return;
    TableReader inner = reader.Inner(*table, "profile");
    sim::ProfileEntry& profile = value.emplace();
    inner.OnlyKeys(sim::ScenarioKeys::Profile());
    inner.Text("kind", profile.kind);
    inner.Text("mode", profile.mode);
    for (auto [key, number] : {std::pair{"rate", &profile.rate}, std::pair{"to", &profile.to}, std::pair{"mean", &profile.mean},
                               std::pair{"amplitude", &profile.amplitude}, std::pair{"period", &profile.period},
                               std::pair{"phase", &profile.phase}, std::pair{"sigma", &profile.sigma},
                               std::pair{"min", &profile.min}, std::pair{"max", &profile.max}})
        inner.Number(key, *number);
    inner.Text("file", profile.file);
    inner.Text("csv", profile.csv);
    inner.Text("interpolation", profile.interpolation);
    inner.Boolean("loop", profile.loop);
    ReadRows(inner, profile);
}

void ReadExpect(TableReader& reader, std::optional<sim::ExpectEntry>& value)
{
    const toml::table* table = reader.Table("expect", " such as { connection = \"kept\" }");
    if (!table)
        return;
    TableReader inner = reader.Inner(*table, "expect");
    sim::ExpectEntry& expect = value.emplace();
    inner.OnlyKeys(sim::ScenarioKeys::Expect());
    inner.Text("connection", expect.connection);
    inner.Number("within", expect.within);
    inner.Boolean("no_unreadable_commands", expect.noUnreadableCommands);
    if (const toml::table* same = inner.Table("same_commands_as_recording", " such as { tolerance = 0.5 }")) {
        TableReader tolerance = inner.Inner(*same, "same_commands_as_recording");
        expect.sameCommands = true;
        tolerance.OnlyKeys({"tolerance"});
        tolerance.Number("tolerance", expect.sameCommandsTolerance);
    }
    const toml::table* toggles = inner.Table("toggles", " such as { min = 1, max = 3 }");
    if (!toggles)
        return;
    TableReader bounds = inner.Inner(*toggles, "toggles");
    expect.toggles = true;
    bounds.OnlyKeys(sim::ScenarioKeys::Toggles());
    bounds.Whole("min", expect.minToggles);
    bounds.Whole("max", expect.maxToggles);
}

void ReadDevice(TableReader& reader, sim::DeviceEntry& device)
{
    reader.OnlyKeys(sim::ScenarioKeys::Device());
    reader.Text("model", device.model);
    reader.Whole("serial", device.serial);
    reader.Text("serials", device.serials);
    reader.Number("temperature", device.temperature);
    reader.Number("toggle_every", device.toggleEvery);
    ReadProfile(reader, device.profile);
    ReadExpect(reader, device.expect);
}

void ReadFault(TableReader& reader, sim::FaultEntry& fault)
{
    reader.OnlyKeys(sim::ScenarioKeys::Fault());
    reader.Text("kind", fault.kind);
    reader.Text("devices", fault.devices);
    reader.Number("at", fault.at);
    reader.Whole("every", fault.every);
    reader.Number("probability", fault.probability);
    reader.Number("delay", fault.delay);
    reader.Whole("bytes", fault.bytes);
    reader.Number("seconds", fault.seconds);
    reader.Number("value", fault.value);
}

void ReadEvent(TableReader& reader, sim::EventEntry& event)
{
    reader.OnlyKeys(sim::ScenarioKeys::Event());
    reader.Number("at", event.at);
    reader.Number("every", event.every);
    reader.Text("devices", event.devices);
    reader.Text("action", event.action);
    reader.Number("duration", event.duration);
    reader.Number("value", event.value);
    reader.Text("state", event.state);
    reader.Number("period", event.period);
    ReadProfile(reader, event.profile);
}

// Calls `each` with a reader of every table of the array `key` ([[key]] in the file).
template <typename Item, typename Each>
void ReadTables(TableReader& top, std::string_view key, std::vector<Item>& items, Each each)
{
    const toml::node* node = top.Get(key);
    if (!node)
        return;
    if (!node->is_array()) {
        top.Fail(*node, std::string(key), "must be a list of [[" + std::string(key) + "]] tables");
        return;
    }
    const toml::array& entries = *node->as_array();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string where = std::string(key) + "[" + std::to_string(i + 1) + "]";
        const toml::node& entry = *entries.get(i);
        top.Locate(where, entry);
        if (!entry.is_table()) {
            top.Fail(entry, where, "must be a table");
            continue;
        }
        TableReader reader = top.Entry(*entry.as_table(), where);
        each(reader, items.emplace_back());
    }
}

void ReadServer(TableReader& top, sim::Scenario& scenario)
{
    const toml::table* server = top.Table("server", "");
    if (!server)
        return;
    TableReader reader = top.Inner(*server, "server");
    reader.OnlyKeys(sim::ScenarioKeys::Server());
    reader.Text("host", scenario.host);
    reader.Whole("port", scenario.port);
}

void ReadReplay(TableReader& top, sim::Scenario& scenario)
{
    const toml::table* table = top.Table("replay", " such as { capture = \"field.jsonl\" }");
    if (!table)
        return;
    TableReader reader = top.Inner(*table, "replay");
    sim::ReplayEntry& replay = scenario.replay.emplace();
    reader.OnlyKeys(sim::ScenarioKeys::Replay());
    reader.Text("capture", replay.capture);
    reader.Text("mode", replay.mode);
    reader.Number("speed", replay.speed);
    reader.Boolean("loop", replay.loop);
    reader.Number("from", replay.from);
    reader.Number("to", replay.to);
    reader.Boolean("rewrite_clock", replay.rewriteClock);
    reader.Whole("copies", replay.copies);
    const toml::table* serials = reader.Table("serials", " such as { \"1005\" = 2005 }");
    if (!serials)
        return;
    TableReader mapping = reader.Inner(*serials, "serials");
    for (const auto& [key, node] : *serials) {
        std::optional<int64_t> serial;
        mapping.Whole(key.str(), serial);
        if (serial)
            replay.serials.emplace_back(std::string(key.str()), *serial);
    }
}

}  // namespace

TextPosition Locations::Of(std::string path) const
{
    for (;;) {
        const auto found = positions_.find(path);
        if (found != positions_.end())
            return found->second;
        const std::size_t cut = path.find_last_of(".[");
        if (cut == std::string::npos || cut == 0)
            return {};
        path.resize(cut);
    }
}

bool ReadTomlScenario(std::string_view text, const std::string& fileName, sim::Scenario& scenario, Locations& locations,
                      sim::Problems& problems, std::string& error)
{
    toml::parse_result result = toml::parse(text, fileName);
    if (!result) {
        const toml::parse_error& failure = result.error();
        error = fileName + ":" + std::to_string(failure.source().begin.line) + ":" +
                std::to_string(failure.source().begin.column) + ": not TOML: " + UnshieldText(failure.description());
        return false;
    }
    TableReader top(result.table(), "", locations, problems);
    top.OnlyKeys(sim::ScenarioKeys::Top());
    top.Whole("seed", scenario.seed);
    top.Number("duration", scenario.duration);
    top.Whole("reports", scenario.reports);
    top.Number("ramp_up", scenario.rampUp);
    ReadServer(top, scenario);
    ReadTables(top, "device", scenario.devices, ReadDevice);
    ReadTables(top, "fault", scenario.faults, ReadFault);
    ReadTables(top, "event", scenario.events, ReadEvent);
    ReadExpect(top, scenario.expect);
    ReadReplay(top, scenario);
    return true;
}

}  // namespace mimicbox::scenario
