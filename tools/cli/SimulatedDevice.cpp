#include "tools/cli/SimulatedDevice.h"

#include "link/IncomingRecords.h"
#include "link/Record.h"
#include "core/NumberText.h"

namespace mimicbox {

SimulatedDevice::SimulatedDevice(const DeviceIdentity& device, const std::string& strTemperature, int nStepMode)
    : m_identity(device), m_nStepMode(nStepMode)
{
    ParseFloat(strTemperature, m_fTemperature);
}

unsigned SimulatedDevice::PeriodMs() const
{
    return m_identity.nDeviceType == TYPE_RELAY ? RELAY_PERIOD_MS : THERMO_PERIOD_MS;
}

std::string SimulatedDevice::NextReport(int64_t nClock)
{
    if (m_identity.nDeviceType == TYPE_THERMO)
        m_fTemperature = StepTemperature(m_fTemperature, m_nStepMode);
    const std::string text = FormatReport(m_identity.nDeviceType, m_identity.nSerial, nClock, m_nSwitchState, m_fTemperature);
    // The dialog carries the value to its next tick through the field's text.
    ParseFloat(FormatFloatG6(m_fTemperature), m_fTemperature);
    return text;
}

SimulatedDevice::ChunkResult SimulatedDevice::OnChunk(const char* pData, int nCount)
{
    ChunkResult result;
    result.nRecords = ForEachRecord(pData, nCount, [&](const RecordHeader& header, std::string_view) {
        if (header[HEADER_COMMAND] == CMD_SWITCH_TOGGLE && m_identity.nDeviceType == TYPE_RELAY) {
            m_nSwitchState = ToggleSwitch(m_nSwitchState);
            ++result.nToggles;
        }
    });
    return result;
}

}  // namespace mimicbox
