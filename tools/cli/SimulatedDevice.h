// One simulated device without a window: the state the dialog would hold and the same rules, so that
// its reports are byte for byte those of the dialog.
#pragma once

#include <cstdint>
#include <string>

#include "tools/cli/RunOptions.h"

namespace mimicbox {

class SimulatedDevice {
public:
    // strTemperature is read as the dialog's temperature field reads it; it must be valid.
    SimulatedDevice(const DeviceIdentity& device, const std::string& strTemperature, int nStepMode);

    std::string Name() const { return DeviceName(m_identity); }
    unsigned PeriodMs() const;

    // One report tick: a Thermo-Box steps and clamps first. Returns the record text without its NUL.
    std::string NextReport(int64_t nClock);

    struct ChunkResult {
        int nRecords = 0;
        int nToggles = 0;
    };
    // Acts on one received chunk as the dialog does: pData holds nCount bytes and a NUL after them.
    ChunkResult OnChunk(const char* pData, int nCount);

    float Temperature() const { return m_fTemperature; }
    int SwitchState() const { return m_nSwitchState; }

private:
    DeviceIdentity m_identity;
    float m_fTemperature = 0.0f;
    int m_nStepMode = STEP_NONE;
    int m_nSwitchState = 0;
};

}  // namespace mimicbox
