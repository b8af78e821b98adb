#include "tools/capture/ReplayValues.h"

#include <algorithm>
#include <climits>
#include <map>
#include <set>

#include "tools/report/Text.h"
#include "tools/sim/Device.h"

namespace mimicbox::capture {

namespace {

// A profile runs from the device's first report: the recorded values from the first report on, each
// taking over half a report's interval early, so that a report a little early or late still gets
// the value recorded for its moment. Values recorded at one moment (a duplicated record) count once.
std::vector<sim::TablePoint> ProfilePoints(const std::vector<sim::TablePoint>& values)
{
    const double first = values.front().seconds;
    const double half = values.size() > 1 ? (values[1].seconds - first) / 2 : 0;
    std::vector<sim::TablePoint> points;
    for (const sim::TablePoint& value : values) {
        const double at = std::max(0.0, value.seconds - first - half);
        if (points.empty() || at > points.back().seconds)
            points.push_back({points.empty() ? 0.0 : at, value.value});
    }
    return points;
}

sim::DeviceGroup GroupOf(const DeviceIdentity& identity, const RecordedDevice& device, const ReplaySettings& settings)
{
    sim::DeviceGroup group;
    group.range = {identity.nDeviceType, identity.nSerial, identity.nSerial};
    // It connects when it did in the recording, so that it sends as many reports as it did.
    group.setup.connectAfter = device.connected;
    if (identity.nDeviceType == TYPE_THERMO) {
        group.setup.temperatureText = report::FormatNumber(device.values.front().value);
        group.setup.profile.kind = sim::ProfileKind::kTable;
        group.setup.profile.points = std::make_shared<const std::vector<sim::TablePoint>>(ProfilePoints(device.values));
        group.setup.profile.loop = settings.loop;
    } else {
        group.setup.switchState = device.values.front().value != 0 ? 1 : 0;
    }
    return group;
}

}  // namespace

bool PlanValues(const RecordedDevices& recorded, const ReplaySettings& settings, ValuesReplay& replay, std::string& error)
{
    auto commands = std::make_shared<sim::RecordedCommands>();
    std::set<std::pair<int32_t, int32_t>> taken;
    std::map<int32_t, int64_t> next;  // by model: the first serial free for copies
    std::vector<DeviceIdentity> played;
    for (const RecordedDevice& device : recorded.devices) {
        const DeviceIdentity identity{device.identity.nDeviceType, settings.SerialOf(device.identity.nSerial)};
        if (!taken.insert({identity.nDeviceType, identity.nSerial}).second) {
            error = "two recorded devices would play as " + sim::DeviceName(identity) + ": map their serials apart";
            return false;
        }
        played.push_back(identity);
        next[identity.nDeviceType] = std::max<int64_t>(next[identity.nDeviceType], int64_t{identity.nSerial} + 1);
    }
    replay.groups.clear();
    for (uint64_t copy = 0; copy < settings.copies; ++copy) {
        for (std::size_t i = 0; i < recorded.devices.size(); ++i) {
            DeviceIdentity identity = played[i];
            if (copy > 0) {
                int64_t& serial = next[identity.nDeviceType];
                if (serial > INT32_MAX) {
                    error = "copies = " + std::to_string(settings.copies) + " needs serials beyond 2147483647";
                    return false;
                }
                identity.nSerial = static_cast<int32_t>(serial++);
            }
            replay.groups.push_back(GroupOf(identity, recorded.devices[i], settings));
            (*commands)[sim::DeviceName(identity)] = recorded.devices[i].commands;
        }
    }
    replay.commands = std::move(commands);
    return true;
}

}  // namespace mimicbox::capture
