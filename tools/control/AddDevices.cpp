// POST /devices and DELETE /devices/{name}: devices added to the running plant and taken out.
#include <algorithm>

#include "tools/control/Controller.h"
#include "tools/control/RequestBodies.h"
#include "tools/sim/DeviceRange.h"

namespace mimicbox::control {

// One [[device]] table of the scenario schema, or an array of them; all are added or none.
void Controller::Add(const std::string& body, Reply reply)
{
    if (plant_.Ended()) {
        reply(JsonError(503, "the run is ending"));
        return;
    }
    std::vector<sim::DeviceGroup> groups;
    std::string error;
    if (!ReadDeviceTables(body, groups, error)) {
        reply(JsonError(400, error));
        return;
    }
    std::vector<sim::DeviceRange> ranges;
    for (const sim::DeviceGroup& group : groups)
        ranges.push_back(group.range);
    if (CheckNew(ranges, reply))
        AddGroups(std::move(groups), 0, std::move(reply));
}

// Reads the groups' CSV files one after another, away from the loop, then adds them all.
void Controller::AddGroups(std::vector<sim::DeviceGroup> groups, std::size_t next, Reply reply)
{
    if (next < groups.size()) {
        sim::Profile profile = groups[next].setup.profile;
        LoadTable(
            std::move(profile),
            [this, groups = std::move(groups), next, reply](sim::Profile loaded) mutable {
                groups[next].setup.profile = std::move(loaded);
                AddGroups(std::move(groups), next + 1, std::move(reply));
            },
            reply);
        return;
    }
    // The plant may have changed while the files were read.
    std::vector<sim::DeviceRange> ranges;
    for (const sim::DeviceGroup& group : groups)
        ranges.push_back(group.range);
    if (plant_.Ended()) {
        reply(JsonError(503, "the run is ending"));
        return;
    }
    if (!CheckNew(ranges, reply))
        return;
    std::vector<DeviceView> added;
    for (const sim::DeviceGroup& group : groups) {
        for (const std::size_t index :
             plant_.Add(sim::ShardDevices({group.range}, 0, 1), group.setup, group.toggleEvery.value_or(0)))
            added.push_back(View(index, access_.scheduler.Now()));
    }
    reply(DeviceList(std::move(added), 201));
}

// The ranges do not overlap, the plant holds none of their devices yet, and it has room for them.
bool Controller::CheckNew(const std::vector<sim::DeviceRange>& ranges, Reply& reply) const
{
    std::string reason;
    if (!sim::CheckNoOverlap(ranges, reason)) {
        reply(JsonError(400, reason));
        return false;
    }
    const std::size_t count = sim::CountDevices(ranges);
    const std::size_t capacity = options_.capacity;
    if (count > capacity - std::min(capacity, plant_.HeldCount())) {
        reply(JsonError(400, std::to_string(count) + " devices more would make " +
                                 std::to_string(plant_.HeldCount() + count) + "; this process holds at most " +
                                 std::to_string(capacity)));
        return false;
    }
    for (const sim::DeviceRange& range : ranges) {
        for (int64_t serial = range.first; serial <= range.last; ++serial) {
            const DeviceIdentity device{range.deviceType, static_cast<int32_t>(serial)};
            if (plant_.Find(device) != plant_.Size()) {
                reply(JsonError(409, sim::DeviceName(device) + " is in the plant already"));
                return false;
            }
        }
    }
    return true;
}

void Controller::Remove(const std::string& name, Reply reply)
{
    std::size_t index = 0;
    if (!Find(name, index, reply))
        return;
    if (plant_.Ended()) {
        reply(JsonError(503, "the run is ending"));
        return;
    }
    plant_.Remove(index);
    reply(JsonAnswer({{"removed", name}}));
}

}  // namespace mimicbox::control
