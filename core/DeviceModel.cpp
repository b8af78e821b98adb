#include "core/DeviceModel.h"

namespace mimicbox {

namespace {

int32_t BaseNumber(int32_t nSerial) { return nSerial % 100; }

}  // namespace

DeviceIdentity ChooseModel(DeviceIdentity device, int nIndex)
{
    if (nIndex == TYPE_INDEX_THERMO)
        return {TYPE_THERMO, BaseNumber(device.nSerial)};
    if (nIndex == TYPE_INDEX_RELAY)
        return {TYPE_RELAY, BaseNumber(device.nSerial) + RELAY_SERIAL_OFFSET};
    return device;
}

int32_t ChooseSerial(int32_t nDeviceType, int32_t nSerial, int nIndex)
{
    if (nIndex < 0)
        return nSerial;
    return SerialAtIndex(nDeviceType, nIndex);
}

int SerialListIndex(int32_t nSerial) { return BaseNumber(nSerial) - 1; }

int32_t SerialAtIndex(int32_t nDeviceType, int nIndex)
{
    const int32_t nBase = nIndex + 1;
    return nDeviceType == TYPE_RELAY ? nBase + RELAY_SERIAL_OFFSET : nBase;
}

int ToggleStepMode(int nStepMode, int nButtonMode)
{
    return nStepMode == nButtonMode ? STEP_NONE : nButtonMode;
}

float StepTemperature(float fTemperature, int nStepMode)
{
    float fStepped = fTemperature;
    switch (nStepMode) {
    case STEP_UP: fStepped = fTemperature + TEMP_STEP; break;
    case STEP_UP_FAST: fStepped = fTemperature + TEMP_STEP_FAST; break;
    case STEP_DOWN: fStepped = fTemperature - TEMP_STEP; break;
    case STEP_DOWN_FAST: fStepped = fTemperature - TEMP_STEP_FAST; break;
    default: break;
    }
    return ClampTemperature(fStepped);
}

float ClampTemperature(float fTemperature)
{
    if (fTemperature > TEMP_MAX)
        return TEMP_MAX;
    if (fTemperature < TEMP_MIN)
        return TEMP_MIN;
    return fTemperature;
}

bool IsTemperatureInRange(float fTemperature)
{
    return fTemperature >= TEMP_MIN && fTemperature <= TEMP_MAX;
}

int ToggleSwitch(int nSwitchState) { return nSwitchState == 0 ? 1 : 0; }

unsigned ReportPeriodMs(int32_t nDeviceType) { return nDeviceType == TYPE_RELAY ? RELAY_PERIOD_MS : THERMO_PERIOD_MS; }

const char* ModelName(int32_t nDeviceType)
{
    return nDeviceType == TYPE_THERMO ? MODEL_NAME_THERMO : nDeviceType == TYPE_RELAY ? MODEL_NAME_RELAY : nullptr;
}

const char* ModelKey(int32_t nDeviceType)
{
    return nDeviceType == TYPE_THERMO ? MODEL_KEY_THERMO : nDeviceType == TYPE_RELAY ? MODEL_KEY_RELAY : nullptr;
}

}  // namespace mimicbox
