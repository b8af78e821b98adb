#include "tools/capture/ExactReplay.h"

#include <algorithm>
#include <map>
#include <utility>

#include "link/Record.h"
#include "tools/capture/ReplayValues.h"
#include "tools/io/RecordFramer.h"
#include "tools/report/RecordDecoder.h"
#include "tools/sim/Device.h"

namespace mimicbox::capture {

namespace {

// One recorded connection of the window, named by the first report it sent.
struct Recorded {
    double connectAt = 0;
    std::shared_ptr<std::vector<ScriptStep>> steps = std::make_shared<std::vector<ScriptStep>>();
    DeviceIdentity identity{0, 0};
};

void Add(Recorded& recorded, const CaptureEvent& event, double t, io::RecordFramer& framer)
{
    std::vector<ScriptStep>& steps = *recorded.steps;
    if (event.kind == CaptureKind::kData && event.from == Side::kDevice) {
        steps.push_back({t, StepKind::kSend, event.bytes});
        framer.Feed(event.bytes, [&](std::string_view record) {
            const report::RecordCheck check = report::CheckRecord(record);
            if (recorded.identity.nDeviceType == 0 && check.readable && check.command == CMD_REPORT && check.serial >= 1)
                recorded.identity = {check.deviceType, check.serial};
        }, [](std::size_t) {});
    } else if (event.kind == CaptureKind::kHalfClose && event.from == Side::kDevice) {
        steps.push_back({t, StepKind::kHalfClose, {}});
    } else if (event.kind == CaptureKind::kReset) {
        // A reset from either side ends the replayed connection as one, so the server sees it again.
        steps.push_back({t, StepKind::kReset, {}});
    } else if (event.kind == CaptureKind::kClose || event.kind == CaptureKind::kConnectFailed) {
        steps.push_back({t, StepKind::kClose, {}});
    }
}

std::vector<Recorded> Scripts(const Capture& capture, const ReplaySettings& settings)
{
    std::vector<Recorded> scripts;
    std::map<uint64_t, std::size_t> index;
    std::map<uint64_t, io::RecordFramer> framers;
    for (const CaptureEvent& event : capture.events) {
        if (!settings.Within(event.t))
            continue;
        const double t = settings.Replayed(event.t);
        auto [found, added] = index.try_emplace(event.conn, scripts.size());
        if (added)
            scripts.push_back(Recorded{t});
        Add(scripts[found->second], event, t, framers.try_emplace(event.conn, kLongestRecord).first->second);
    }
    return scripts;
}

}  // namespace

std::optional<double> ConnectionScript::EndsAt() const
{
    for (const ScriptStep& step : *steps)
        if (step.kind == StepKind::kReset || step.kind == StepKind::kClose)
            return step.at;
    return std::nullopt;
}

std::size_t PeakConnections(const ExactReplay& replay)
{
    // +1 at each connect, -1 at each end; at one moment the ends count first, as the socket is free again.
    std::vector<std::pair<double, int>> changes;
    changes.reserve(replay.connections.size() * 2);
    for (const ConnectionScript& script : replay.connections) {
        changes.push_back({script.connectAt, 1});
        if (const std::optional<double> end = script.EndsAt())
            changes.push_back({*end, -1});
    }
    std::sort(changes.begin(), changes.end());
    std::size_t open = 0;
    std::size_t peak = 0;
    for (const auto& [at, change] : changes) {
        open = change > 0 ? open + 1 : open - 1;
        peak = std::max(peak, open);
    }
    return peak;
}

bool PlanExact(const Capture& capture, const ReplaySettings& settings, ExactReplay& replay, std::string& error)
{
    // The devices, their serials and copies as values mode plays them; their commands to compare.
    const RecordedDevices recorded = FindDevices(capture, settings);
    ValuesReplay values;
    if (!PlanValues(recorded, settings, values, error))
        return false;
    replay.settings = settings;
    replay.length = recorded.length;
    replay.commands = values.commands;
    // values.groups holds each copy's devices in the order of recorded.devices.
    const std::size_t perCopy = recorded.devices.size();
    std::map<std::pair<int32_t, int32_t>, std::size_t> deviceOf;
    for (std::size_t i = 0; i < recorded.devices.size(); ++i)
        deviceOf[{recorded.devices[i].identity.nDeviceType, recorded.devices[i].identity.nSerial}] = i;
    const auto scripts = Scripts(capture, settings);
    for (uint64_t copy = 0; copy < settings.copies; ++copy) {
        for (const Recorded& script : scripts) {
            ConnectionScript played{{}, 0, script.connectAt, script.steps};
            const auto device = deviceOf.find({script.identity.nDeviceType, script.identity.nSerial});
            if (device != deviceOf.end()) {
                const sim::DeviceRange& range = values.groups[copy * perCopy + device->second].range;
                played.device = sim::DeviceName({range.deviceType, range.first});
                played.serial = range.first != script.identity.nSerial ? range.first : 0;
            } else if (copy > 0) {
                continue;  // a connection that no report names cannot play under a new serial
            }
            replay.connections.push_back(std::move(played));
        }
    }
    std::stable_sort(replay.connections.begin(), replay.connections.end(),
                     [](const ConnectionScript& a, const ConnectionScript& b) { return a.connectAt < b.connectAt; });
    return true;
}

}  // namespace mimicbox::capture
