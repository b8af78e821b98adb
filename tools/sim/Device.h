// One simulated device: the state the dialog holds for it and the dialog's rules, so that its reports
// are byte for byte those of the dialog.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "core/DeviceModel.h"
#include "tools/sim/Profile.h"
#include "tools/sim/Random.h"
#include "tools/sim/Time.h"

namespace mimicbox::sim {

// "thermo:3", "relay:1005".
std::string DeviceName(const DeviceIdentity& identity);

class Device {
public:
    // The temperature starts as the dialog's field would read `temperatureText`; an unreadable text
    // starts at 0.
    Device(const DeviceIdentity& identity, std::string_view temperatureText, int stepMode, uint64_t seed = 0);

    const DeviceIdentity& Identity() const { return identity_; }
    Nanos Period() const;

    // From the next report on, a Thermo-Box's temperature follows `profile`; its time and its
    // starting value count from that report.
    void SetProfile(const Profile& profile);
    // Sets the temperature as if typed into the dialog's field, and starts the profile again from it
    // at the next report; false, changing nothing, when the text is no number. An absolute profile
    // (sine, table) ends, and the device holds the value: otherwise it would never be sent.
    bool SetTemperature(std::string_view text);
    void SetSwitch(int state) { switchState_ = state; }
    // Sets the report period; 0 goes back to the model's.
    void SetPeriod(Nanos period) { period_ = period; }
    // A device that does not obey still reads the server's records but flips no switch.
    void SetObeying(bool obeying) { obeying_ = obeying; }
    bool Obeying() const { return obeying_; }

    // The report due at `deadline`: a Thermo-Box takes its profile's value for that moment and clamps
    // it first, and carries the value on through the field's text. Counting from deadlines rather than
    // send times keeps the values the same from run to run. Returns the record text without its NUL.
    std::string NextReport(int64_t calendarSeconds, Instant deadline);

    // Acts on one received chunk as the dialog does. Returns the number of records read (those
    // after the first unreadable one are dropped) and counts the toggles applied.
    struct ChunkResult {
        int records = 0;
        int toggles = 0;
    };
    ChunkResult OnChunk(std::string_view chunk);

    float Temperature() const { return temperature_; }
    // The temperature the last report printed (before it went through the field's text).
    float PrintedTemperature() const { return printedTemperature_; }
    const Profile& GetProfile() const { return profile_; }
    int SwitchState() const { return switchState_; }

private:
    float NextTemperature(Instant now);

    DeviceIdentity identity_;
    float temperature_ = 0.0f;
    float printedTemperature_ = 0.0f;
    float keptTemperature_ = std::numeric_limits<float>::quiet_NaN();  // the last value rounded as the field shows it
    Profile profile_;
    Instant profileStart_{};
    float profileStartValue_ = 0.0f;
    bool profileStarted_ = false;
    Random random_;
    int switchState_ = 0;
    Nanos period_{0};
    bool obeying_ = true;
};

}  // namespace mimicbox::sim
