// The rules of a scenario's parts, shared by the files that check them. For Validate's own files.
#pragma once

#include <vector>

#include "tools/sim/DeviceRange.h"
#include "tools/sim/Scenario.h"
#include "tools/sim/ValidationCheck.h"

namespace mimicbox::sim {

void CheckTop(const Check& check, const Scenario& scenario);
void CheckProfile(const Check& check, const ProfileEntry& profile);
// True when the device table holds no fault; `range` is then its devices.
bool CheckDevice(const Check& check, const DeviceEntry& device, bool live, DeviceRange& range);
// The ranges of the valid device tables, none given twice.
std::vector<DeviceRange> CheckDevices(const Check& check, const std::vector<DeviceEntry>& devices);
// `devices`: the scenario's, for the selectors of faults and events to name; none on the command
// line's word. `live`: a fault for the next report of one device.
void CheckFault(const Check& check, const FaultEntry& fault, const std::vector<DeviceRange>* devices, bool live);
void CheckEvent(const Check& check, const EventEntry& event, const std::vector<DeviceRange>* devices);
// [replay], and the expectations that compare with it.
void CheckReplay(const Check& check, const Scenario& scenario);

}  // namespace mimicbox::sim
