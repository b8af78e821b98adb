#include "tools/cli/ReplayPlan.h"

#include <filesystem>

#include "tools/capture/CaptureReader.h"
#include "tools/capture/ExactReplay.h"
#include "tools/capture/ReplayValues.h"

namespace mimicbox::cli {

namespace {

std::optional<double> SameCommands(const std::vector<sim::Expectation>& expectations)
{
    for (const sim::Expectation& expectation : expectations)
        if (expectation.sameCommands)
            return expectation.sameCommands;
    return std::nullopt;
}

bool PlayValues(const capture::Capture& capture, const capture::ReplaySettings& settings, sim::ScenarioPlan& plan,
                std::string& error)
{
    const capture::RecordedDevices recorded = capture::FindDevices(capture, settings);
    capture::ValuesReplay values;
    if (!capture::PlanValues(recorded, settings, values, error))
        return false;
    if (recorded.devices.empty()) {
        error = settings.capture + ": no device reported in the replayed part of the capture";
        return false;
    }
    plan.devices.insert(plan.devices.end(), values.groups.begin(), values.groups.end());
    for (sim::Expectation& expectation : plan.expectations)
        if (expectation.sameCommands)
            expectation.recording = values.commands;
    // Played once, the run ends with the capture, and a second for the server's last answers.
    if (!plan.duration && !settings.loop)
        plan.duration = recorded.length + 1.0;
    return true;
}

}  // namespace

bool ApplyReplay(const std::string& replay, const std::string& scenario, sim::ScenarioPlan& plan, CliOptions& options,
                 std::string& error)
{
    if (replay.empty() && !plan.replay) {
        if (!SameCommands(plan.expectations))
            return true;
        error = "same_commands_as_recording compares with a recording: give a [replay] table or --replay";
        return false;
    }
    const std::string folder = scenario.empty() ? "" : std::filesystem::path(scenario).parent_path().string();
    capture::ReplaySettings settings = capture::SettingsOf(plan.replay.value_or(sim::ReplayEntry{}), folder);
    if (!replay.empty())
        settings.capture = replay;
    if (settings.capture.empty()) {
        error = "[replay] names no capture: give capture = \"FILE\" or --replay FILE";
        return false;
    }
    auto capture = std::make_shared<capture::Capture>();
    if (!capture::ReadCapture(settings.capture, *capture, error))
        return false;
    if (!settings.exact)
        return PlayValues(*capture, settings, plan, error);
    auto exact = std::make_shared<capture::ExactReplay>();
    if (!capture::PlanExact(*capture, settings, *exact, error))
        return false;
    exact->sameCommands = SameCommands(plan.expectations);
    options.exactReplay = std::move(exact);
    return true;
}

}  // namespace mimicbox::cli
