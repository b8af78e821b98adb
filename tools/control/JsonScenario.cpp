#include "tools/control/JsonScenario.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace mimicbox::control {

namespace {

using nlohmann::json;

// Reads one object's values, with the types the schema gives them.
class ObjectReader {
public:
    ObjectReader(const json& object, std::string path, sim::Problems& problems)
        : object_(object), path_(std::move(path)), problems_(problems)
    {
    }

    std::string At(std::string_view key) const { return path_.empty() ? std::string(key) : path_ + "." + std::string(key); }
    void Fail(std::string_view key, std::string message) { problems_.push_back({At(key), std::move(message)}); }

    void OnlyKeys(const std::vector<std::string>& known)
    {
        for (const auto& item : object_.items()) {
            if (std::find(known.begin(), known.end(), item.key()) == known.end())
                Fail(item.key(), "unknown key");
        }
    }
    const json* Get(std::string_view key) const
    {
        const auto found = object_.find(std::string(key));
        return found == object_.end() ? nullptr : &*found;
    }
    void Number(std::string_view key, std::optional<double>& value)
    {
        const json* item = Get(key);
        if (item && (!item->is_number() || !std::isfinite(item->get<double>())))
            Fail(key, "must be a number");
        else if (item)
            value = item->get<double>();
    }
    void Whole(std::string_view key, std::optional<int64_t>& value)
    {
        const json* item = Get(key);
        if (item && !item->is_number_integer())
            Fail(key, "must be a whole number");
        else if (item && item->is_number_unsigned() && item->get<uint64_t>() > uint64_t{INT64_MAX})
            value = INT64_MAX;
        else if (item)
            value = item->get<int64_t>();
    }
    void Text(std::string_view key, std::optional<std::string>& value)
    {
        const json* item = Get(key);
        if (item && !item->is_string())
            Fail(key, "must be a text in quotes");
        else if (item)
            value = item->get<std::string>();
    }
    void Boolean(std::string_view key, std::optional<bool>& value)
    {
        const json* item = Get(key);
        if (item && !item->is_boolean())
            Fail(key, "must be true or false");
        else if (item)
            value = item->get<bool>();
    }
    // The object of `key`, or null with a problem when it is something else.
    const json* Object(std::string_view key, const char* example)
    {
        const json* item = Get(key);
        if (item && !item->is_object()) {
            Fail(key, std::string("must be a table") + example);
            return nullptr;
        }
        return item;
    }

    const json& object_;
    std::string path_;
    sim::Problems& problems_;
};

void ReadRows(ObjectReader& reader, sim::ProfileEntry& profile)
{
    const json* rows = reader.Get("rows");
    if (!rows)
        return;
    if (!rows->is_array()) {
        reader.Fail("rows", "must be a list of [SECONDS, VALUE] rows");
        return;
    }
    profile.rows.emplace();
    for (std::size_t i = 0; i < rows->size(); ++i) {
        const json& row = (*rows)[i];
        std::vector<double> values;
        for (std::size_t k = 0; row.is_array() && k < row.size() && row[k].is_number(); ++k)
            values.push_back(row[k].get<double>());
        if (!row.is_array() || values.size() != row.size()) {
            reader.Fail("rows[" + std::to_string(i + 1) + "]", "must be two numbers [SECONDS, VALUE]");
            return;
        }
        profile.rows->push_back(std::move(values));
    }
}

void ReadProfile(ObjectReader& reader, sim::ProfileEntry& profile)
{
    reader.OnlyKeys(sim::ScenarioKeys::Profile());
    reader.Text("kind", profile.kind);
    reader.Text("mode", profile.mode);
    for (auto [key, number] : {std::pair{"rate", &profile.rate}, std::pair{"to", &profile.to}, std::pair{"mean", &profile.mean},
                               std::pair{"amplitude", &profile.amplitude}, std::pair{"period", &profile.period},
                               std::pair{"phase", &profile.phase}, std::pair{"sigma", &profile.sigma},
                               std::pair{"min", &profile.min}, std::pair{"max", &profile.max}})
        reader.Number(key, *number);
    reader.Text("file", profile.file);
    reader.Text("csv", profile.csv);
    reader.Text("interpolation", profile.interpolation);
    reader.Boolean("loop", profile.loop);
    ReadRows(reader, profile);
}

void ReadExpect(ObjectReader& reader, sim::ExpectEntry& expect)
{
    reader.OnlyKeys(sim::ScenarioKeys::Expect());
    reader.Text("connection", expect.connection);
    reader.Number("within", expect.within);
    reader.Boolean("no_unreadable_commands", expect.noUnreadableCommands);
    if (const json* toggles = reader.Object("toggles", " such as { min = 1, max = 3 }")) {
        ObjectReader bounds(*toggles, reader.At("toggles"), reader.problems_);
        expect.toggles = true;
        bounds.OnlyKeys(sim::ScenarioKeys::Toggles());
        bounds.Whole("min", expect.minToggles);
        bounds.Whole("max", expect.maxToggles);
    }
}

}  // namespace

sim::Problems ReadProfileJson(const json& object, const std::string& path, sim::ProfileEntry& profile)
{
    sim::Problems problems;
    if (!object.is_object())
        return {{path, "must be a table such as { kind = \"sine\", mean = 20.0, amplitude = 5.0 }"}};
    ObjectReader reader(object, path, problems);
    ReadProfile(reader, profile);
    return problems;
}

sim::Problems ReadFaultJson(const json& object, const std::string& path, sim::FaultEntry& fault)
{
    sim::Problems problems;
    if (!object.is_object())
        return {{path, "must be a table such as { kind = \"split\" }"}};
    ObjectReader reader(object, path, problems);
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
    return problems;
}

sim::Problems ReadDeviceJson(const json& object, const std::string& path, sim::DeviceEntry& device)
{
    sim::Problems problems;
    if (!object.is_object())
        return {{path, "must be a table such as { model = \"thermo\", serial = 5 }"}};
    ObjectReader reader(object, path, problems);
    reader.OnlyKeys(sim::ScenarioKeys::Device());
    reader.Text("model", device.model);
    reader.Whole("serial", device.serial);
    reader.Text("serials", device.serials);
    reader.Number("temperature", device.temperature);
    reader.Number("toggle_every", device.toggleEvery);
    if (const json* profile = reader.Object("profile", " such as { kind = \"sine\", mean = 20.0, amplitude = 5.0 }")) {
        ObjectReader inner(*profile, reader.At("profile"), problems);
        ReadProfile(inner, device.profile.emplace());
    }
    if (const json* expect = reader.Object("expect", " such as { connection = \"kept\" }")) {
        ObjectReader inner(*expect, reader.At("expect"), problems);
        ReadExpect(inner, device.expect.emplace());
    }
    return problems;
}

}  // namespace mimicbox::control
