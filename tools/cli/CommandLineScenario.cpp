#include "tools/cli/CommandLineScenario.h"

#include "core/NumberText.h"
#include "tools/options/Arguments.h"
#include "tools/sim/DeviceRange.h"
#include "tools/sim/Device.h"

namespace mimicbox::cli {

namespace {

constexpr const char* kNumber = "must be a number";
constexpr const char* kWhole = "must be a whole number";

sim::DeviceEntry DeviceOf(const std::string& text, const Typed& typed, float temperature)
{
    sim::DeviceEntry device;
    const std::size_t colon = text.find(':');
    device.model = text.substr(0, colon);
    device.serials = colon == std::string::npos ? "" : text.substr(colon + 1);
    // Only a Thermo-Box has a temperature and steps; a Relay-Box is given neither.
    if (*device.model == MODEL_KEY_THERMO) {
        device.temperature = temperature;
        device.profile.emplace();
        device.profile->kind = "steps";
        device.profile->mode = typed.step;
    }
    return device;
}

// Ranges are the scenario's rules; a text that is no number at all is the command line's.
bool Number(const std::string& text, const char* option, std::optional<double>& value, std::string& error)
{
    double number = 0;
    if (text.empty())
        return true;
    if (!options::ParseNumber(text, number))
        return options::BadValue(error, text, option, kNumber);
    value = number;
    return true;
}

}  // namespace

bool CommandLineScenario(const Typed& typed, sim::Scenario& scenario, std::string& error)
{
    const auto given = [&](const char* option) { return typed.given.count(option) > 0; };
    float temperature = 0;
    if (!ParseFloat(typed.temperature, temperature))
        return options::BadValue(error, typed.temperature, "--temperature", kNumber);
    if (typed.all && !typed.devices.empty()) {
        error = "--all and --device exclude each other";
        return false;
    }
    if (typed.all) {
        for (const sim::DeviceRange& range : sim::AllDialogDevices())
            scenario.devices.push_back(DeviceOf(sim::DeviceName({range.deviceType, range.first}), typed, temperature));
    }
    for (const std::string& text : typed.devices)
        scenario.devices.push_back(DeviceOf(text, typed, temperature));
    // --temperature and --step hold whether or not a device of the command line takes them.
    if (scenario.devices.empty() && (given("--temperature") || given("--step")))
        scenario.devices.push_back(DeviceOf("thermo:1", typed, temperature));
    if (given("--server"))
        scenario.host = typed.server;
    long long whole = 0;
    if (given("--port") && !options::ParseWhole(typed.port, INT64_MIN, INT64_MAX, whole))
        return options::BadValue(error, typed.port, "--port", kWhole);
    if (given("--port"))
        scenario.port = whole;
    if (!typed.reports.empty() && !options::ParseWhole(typed.reports, INT64_MIN, INT64_MAX, whole))
        return options::BadValue(error, typed.reports, "--reports", kWhole);
    if (!typed.reports.empty())
        scenario.reports = whole;
    return Number(typed.duration, "--duration", scenario.duration, error) &&
           Number(typed.rampUp, "--ramp-up", scenario.rampUp, error);
}

std::string UsageOf(const Typed& typed, const sim::Problem& problem)
{
    std::string error;
    const std::string& path = problem.path;
    if (path.rfind("device[", 0) == 0) {
        // The dialog's 32 devices are sound: only their temperature or steps can be wrong.
        const std::size_t index = std::stoul(path.substr(7)) - 1;
        if (path.find(".temperature") != std::string::npos)
            options::BadValue(error, typed.temperature, "--temperature", problem.message);
        else if (path.find(".profile") != std::string::npos)
            options::BadValue(error, typed.step, "--step", problem.message);
        else
            options::BadValue(error, index < typed.devices.size() ? typed.devices[index] : "", "--device", problem.message);
        return error;
    }
    const std::pair<const char*, std::pair<const char*, const std::string*>> options[] = {
        {"server.host", {"--server", &typed.server}}, {"server.port", {"--port", &typed.port}},
        {"reports", {"--reports", &typed.reports}},   {"duration", {"--duration", &typed.duration}},
        {"ramp_up", {"--ramp-up", &typed.rampUp}},
    };
    for (const auto& [key, option] : options) {
        if (path == key)
            options::BadValue(error, *option.second, option.first, problem.message);
    }
    return error.empty() ? sim::ProblemText(problem) : error;
}

}  // namespace mimicbox::cli
