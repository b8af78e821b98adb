// The devices in a capture: each connection named by the reports it sent, and for each device what
// it reported and what the server sent it, on the replay's clock (the window's start at 0, at its
// speed).
#pragma once

#include <vector>

#include "core/DeviceModel.h"
#include "tools/capture/CaptureReader.h"
#include "tools/capture/ReplaySettings.h"
#include "tools/sim/Profile.h"
#include "tools/sim/RecordedCommands.h"

namespace mimicbox::capture {

struct RecordedDevice {
    DeviceIdentity identity;           // as recorded, before any serial mapping
    double connected = 0;              // its first connect in the window
    std::vector<sim::TablePoint> values;  // each report's temperature, or switch as 0 or 1
    std::vector<sim::TimedRecord> commands;  // since the device first connected
};

struct RecordedDevices {
    std::vector<RecordedDevice> devices;  // in the order they first reported
    std::size_t unnamed = 0;              // connections without a readable report in the window
    double length = 0;                    // the window's length on the replay's clock
};

RecordedDevices FindDevices(const Capture& capture, const ReplaySettings& settings);

}  // namespace mimicbox::capture
