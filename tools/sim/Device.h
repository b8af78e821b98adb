// One simulated device: the state the dialog holds for it and the dialog's rules, so that its reports
// are byte for byte those of the dialog.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/DeviceModel.h"
#include "tools/sim/Time.h"

namespace mimicbox::sim {

// "thermo:3", "relay:1005".
std::string DeviceName(const DeviceIdentity& identity);

class Device {
public:
    // The temperature starts as the dialog's field would read `temperatureText`; an unreadable text
    // starts at 0.
    Device(const DeviceIdentity& identity, std::string_view temperatureText, int stepMode);

    const DeviceIdentity& Identity() const { return identity_; }
    Nanos Period() const;

    // One report tick: a Thermo-Box steps and clamps first, and carries the value on through the
    // field's text. Returns the record text without its NUL.
    std::string NextReport(int64_t calendarSeconds);

    // Acts on one received chunk as the dialog does. Returns the number of records read (those
    // after the first unreadable one are dropped) and counts the toggles applied.
    struct ChunkResult {
        int records = 0;
        int toggles = 0;
    };
    ChunkResult OnChunk(std::string_view chunk);

    float Temperature() const { return temperature_; }
    int SwitchState() const { return switchState_; }

private:
    DeviceIdentity identity_;
    float temperature_ = 0.0f;
    int stepMode_ = STEP_NONE;
    int switchState_ = 0;
};

}  // namespace mimicbox::sim
