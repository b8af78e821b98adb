#include "tools/capture/ExactReplay.h"

#include <algorithm>
#include <map>

#include "link/Record.h"
#include "tools/capture/ReplayValues.h"
#include "tools/io/RecordFramer.h"
#include "tools/report/RecordDecoder.h"
#include "tools/sim/Device.h"

namespace mimicbox::capture {

namespace {

// The connections of the window as scripts, each named by the first report it sent.
std::vector<std::pair<ConnectionScript, DeviceIdentity>> Scripts(const Capture& capture, const ReplaySettings& settings)
{
    std::vector<std::pair<ConnectionScript, DeviceIdentity>> scripts;
    std::map<uint64_t, std::size_t> index;
    std::map<uint64_t, io::RecordFramer> framers;
    for (const CaptureEvent& event : capture.events) {
        if (!settings.Within(event.t))
            continue;
        const double t = settings.Replayed(event.t);
        auto [found, added] = index.try_emplace(event.conn, scripts.size());
        if (added)
            scripts.push_back({ConnectionScript{{}, 0, t, {}}, DeviceIdentity{0, 0}});
        ConnectionScript& script = scripts[found->second].first;
        DeviceIdentity& identity = scripts[found->second].second;
        if (event.kind == CaptureKind::kData && event.from == Side::kDevice) {
            script.steps.push_back({t, StepKind::kSend, event.bytes});
            framers.try_emplace(event.conn, kLongestRecord)
                .first->second.Feed(event.bytes, [&](std::string_view record) {
                    const report::RecordCheck check = report::CheckRecord(record);
                    if (identity.nDeviceType == 0 && check.readable && check.command == CMD_REPORT)
                        identity = {check.deviceType, check.serial};
                }, [](std::size_t) {});
        } else if (event.kind == CaptureKind::kHalfClose && event.from == Side::kDevice) {
            script.steps.push_back({t, StepKind::kHalfClose, {}});
        } else if (event.kind == CaptureKind::kReset && event.from == Side::kDevice) {
            script.steps.push_back({t, StepKind::kReset, {}});
        } else if (event.kind == CaptureKind::kClose || event.kind == CaptureKind::kReset ||
                   event.kind == CaptureKind::kConnectFailed) {
            script.steps.push_back({t, StepKind::kClose, {}});
        }
    }
    return scripts;
}

}  // namespace

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
        for (const auto& [script, identity] : scripts) {
            ConnectionScript played = script;
            const auto device = deviceOf.find({identity.nDeviceType, identity.nSerial});
            if (device != deviceOf.end()) {
                const sim::DeviceRange& range = values.groups[copy * perCopy + device->second].range;
                played.device = sim::DeviceName({range.deviceType, range.first});
                played.serial = range.first != identity.nSerial ? range.first : 0;
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
