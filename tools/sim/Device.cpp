#include "tools/sim/Device.h"

#include <array>
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

Device::Device(const DeviceIdentity& identity, std::string_view temperatureText, int stepMode)
    : identity_(identity), stepMode_(stepMode)
{
    if (!ParseFloat(temperatureText, temperature_))
        temperature_ = 0.0f;
}

Nanos Device::Period() const { return Milliseconds(ReportPeriodMs(identity_.nDeviceType)); }

std::string Device::NextReport(int64_t calendarSeconds)
{
    if (identity_.nDeviceType == TYPE_THERMO)
        temperature_ = StepTemperature(temperature_, stepMode_);
    std::string text = FormatReport(identity_.nDeviceType, identity_.nSerial, calendarSeconds, switchState_, temperature_);
    ParseFloat(FormatFloatG6(temperature_), temperature_);
    return text;
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
        if (FlipsSwitch(identity_.nDeviceType, header)) {
            switchState_ = ToggleSwitch(switchState_);
            ++result.toggles;
        }
    });
    return result;
}

}  // namespace mimicbox::sim
