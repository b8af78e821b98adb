#include "tools/sim/Device.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "core/NumberText.h"
#include "link/IncomingRecords.h"
#include "link/Record.h"

namespace mimicbox::sim {

std::string DeviceName(const DeviceIdentity& identity)
{
    const char* key = ModelKey(identity.nDeviceType);
    return std::string(key ? key : "device") + ':' + std::to_string(identity.nSerial);
}

Device::Device(const DeviceIdentity& identity, std::string_view temperatureText, int stepMode, uint64_t seed)
    : identity_(identity), random_(seed)
{
    profile_.stepMode = stepMode;
    if (!ParseFloat(temperatureText, temperature_))
        temperature_ = 0.0f;
}

void Device::SetProfile(const Profile& profile)
{
    profile_ = profile;
    profileStarted_ = false;
}

bool Device::SetTemperature(std::string_view text)
{
    float value = 0.0f;
    if (!ParseFloat(text, value))
        return false;
    temperature_ = value;
    profileStarted_ = false;
    if (ProfileIsAbsolute(profile_.kind))
        profile_ = Profile{};
    return true;
}

Nanos Device::Period() const
{
    return period_ > Nanos(0) ? period_ : Milliseconds(ReportPeriodMs(identity_.nDeviceType));
}

std::string Device::NextReport(int64_t calendarSeconds, Instant now)
{
    if (identity_.nDeviceType == TYPE_THERMO)
        temperature_ = NextTemperature(now);
    std::string text = FormatReport(identity_.nDeviceType, identity_.nSerial, calendarSeconds, switchState_, temperature_);
    printedTemperature_ = temperature_;
    // The field keeps what it shows: six significant digits. Showing a value it already kept changes
    // nothing, and a Relay-Box has no field to show.
    if (identity_.nDeviceType == TYPE_THERMO && temperature_ != keptTemperature_) {
        ParseFloat(FormatFloatG6(temperature_), temperature_);
        keptTemperature_ = temperature_;
    }
    return text;
}

float Device::NextTemperature(Instant now)
{
    if (profile_.kind == ProfileKind::kSteps)
        return StepTemperature(temperature_, profile_.stepMode);
    if (!profileStarted_) {
        profileStart_ = now;
        profileStartValue_ = temperature_;
        profileStarted_ = true;
    }
    const double elapsed = std::chrono::duration<double>(now - profileStart_).count();
    const double value = ProfileValue(profile_, elapsed, profileStartValue_, temperature_, random_);
    // Clamped in double first: a float conversion of a value out of its range is undefined.
    if (!std::isfinite(value))
        return temperature_;
    return ClampTemperature(static_cast<float>(std::clamp<double>(value, TEMP_MIN, TEMP_MAX)));
}

Device::ChunkResult Device::OnChunk(std::string_view chunk)
{
    // The dialog's buffer: at most 4095 bytes and a NUL after them.
    std::array<char, RECEIVE_BUFFER_SIZE> buffer;
    const std::size_t size = std::min(chunk.size(), buffer.size() - 1);
    std::memcpy(buffer.data(), chunk.data(), size);
    buffer[size] = '\0';
    ChunkResult result;
    result.records = ForEachRecord(buffer.data(), static_cast<int>(size), [&](const RecordHeader& header, std::string_view) {
        if (obeying_ && FlipsSwitch(identity_.nDeviceType, header)) {
            switchState_ = ToggleSwitch(switchState_);
            ++result.toggles;
        }
    });
    return result;
}

}  // namespace mimicbox::sim
