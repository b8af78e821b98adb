// The simulated device's rules: model and serial choice, step toggle, tick step and clamp, switch.
// Pure functions over plain values, so that tests and other programs call them directly.
#pragma once

#include <cstdint>

namespace mimicbox {

// Device type codes, the first number of every record header.
constexpr int32_t TYPE_THERMO = 16;
constexpr int32_t TYPE_RELAY = 8;

// Index of each model in the type list.
constexpr int TYPE_INDEX_THERMO = 0;
constexpr int TYPE_INDEX_RELAY = 1;

// Latched temperature step modes.
constexpr int STEP_NONE = 0;
constexpr int STEP_UP = 1;
constexpr int STEP_UP_FAST = 2;
constexpr int STEP_DOWN = 3;
constexpr int STEP_DOWN_FAST = 4;

// Single-precision step increments and temperature limits, both limits included.
constexpr float TEMP_STEP = 0.01f;
constexpr float TEMP_STEP_FAST = 0.1f;
constexpr float TEMP_MIN = -30.0f;
constexpr float TEMP_MAX = 150.0f;

// Number of serial numbers per model; Relay-Box serials are the base number plus this offset.
constexpr int SERIAL_COUNT = 16;
constexpr int32_t RELAY_SERIAL_OFFSET = 1000;

// Report periods in milliseconds.
constexpr unsigned THERMO_PERIOD_MS = 1500;
constexpr unsigned RELAY_PERIOD_MS = 500;

// The models' names as the type list shows them, and as command lines and logs spell them.
constexpr const char* MODEL_NAME_THERMO = "Thermo-Box";
constexpr const char* MODEL_NAME_RELAY = "Relay-Box";
constexpr const char* MODEL_KEY_THERMO = "thermo";
constexpr const char* MODEL_KEY_RELAY = "relay";

struct DeviceIdentity {
    int32_t nDeviceType = TYPE_THERMO;
    int32_t nSerial = 1;

    friend bool operator==(const DeviceIdentity&, const DeviceIdentity&) = default;
};

// The device after choosing the type-list entry nIndex (-1 when none is selected): index 0 makes a
// Thermo-Box, 1 a Relay-Box, keeping the serial's base number; any other index changes nothing.
DeviceIdentity ChooseModel(DeviceIdentity device, int nIndex);

// The serial number after choosing serial-list entry nIndex (-1 when none): the entry's number for the
// device's model, or nSerial unchanged when no entry is selected.
int32_t ChooseSerial(int32_t nDeviceType, int32_t nSerial, int nIndex);

// The serial list's index of a serial number of either model.
int SerialListIndex(int32_t nSerial);

// The serial number that serial-list entry nIndex stands for in the given model.
int32_t SerialAtIndex(int32_t nDeviceType, int nIndex);

// The step mode after a click on the button of mode nButtonMode: released if it was latched, else latched.
int ToggleStepMode(int nStepMode, int nButtonMode);

// One report tick of a Thermo-Box: the latched step in single precision, then the clamp into the limits.
float StepTemperature(float fTemperature, int nStepMode);

// The temperature limits applied to a value.
float ClampTemperature(float fTemperature);

// Whether a temperature lies within the limits (NaN does not).
bool IsTemperatureInRange(float fTemperature);

// The switch state after a toggle command.
int ToggleSwitch(int nSwitchState);

// The report period of a model: 500 ms for the Relay-Box, 1500 ms for the Thermo-Box (and any other).
unsigned ReportPeriodMs(int32_t nDeviceType);

// "Thermo-Box" or "Relay-Box"; null for any other type code.
const char* ModelName(int32_t nDeviceType);
// "thermo" or "relay"; null for any other type code.
const char* ModelKey(int32_t nDeviceType);

}  // namespace mimicbox
