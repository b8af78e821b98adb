#include "tools/cli/RunOptions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

#include "core/NumberText.h"

namespace mimicbox {

namespace {

bool ParseLong(std::string_view text, long& value)
{
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc{} && result.ptr == text.data() + text.size();
}

bool ParseSeconds(std::string_view text, double& value)
{
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc{} && result.ptr == text.data() + text.size() && std::isfinite(value) && value > 0;
}

// "relay:1005" or "relay:5" for a Relay-Box, "thermo:3" for a Thermo-Box.
bool ParseDevice(std::string_view text, DeviceIdentity& device)
{
    const std::size_t nColon = text.find(':');
    if (nColon == std::string_view::npos)
        return false;
    const std::string_view model = text.substr(0, nColon);
    long nSerial = 0;
    if (!ParseLong(text.substr(nColon + 1), nSerial))
        return false;
    if (model == "thermo" && nSerial >= 1 && nSerial <= SERIAL_COUNT) {
        device = {TYPE_THERMO, static_cast<int32_t>(nSerial)};
        return true;
    }
    if (model == "relay" && nSerial >= 1 && nSerial <= SERIAL_COUNT)
        nSerial += RELAY_SERIAL_OFFSET;
    if (model == "relay" && nSerial > RELAY_SERIAL_OFFSET && nSerial <= RELAY_SERIAL_OFFSET + SERIAL_COUNT) {
        device = {TYPE_RELAY, static_cast<int32_t>(nSerial)};
        return true;
    }
    return false;
}

bool ParseStep(std::string_view text, int& nStepMode)
{
    const std::pair<std::string_view, int> steps[] = {
        {"none", STEP_NONE}, {"up", STEP_UP}, {"up-fast", STEP_UP_FAST}, {"down", STEP_DOWN}, {"down-fast", STEP_DOWN_FAST},
    };
    for (const auto& [name, nMode] : steps) {
        if (text == name) {
            nStepMode = nMode;
            return true;
        }
    }
    return false;
}

void AddAllDevices(std::vector<DeviceIdentity>& devices)
{
    for (int nBase = 1; nBase <= SERIAL_COUNT; ++nBase) {
        devices.push_back({TYPE_THERMO, nBase});
        devices.push_back({TYPE_RELAY, nBase + RELAY_SERIAL_OFFSET});
    }
}

}  // namespace

std::string DeviceName(const DeviceIdentity& device)
{
    return (device.nDeviceType == TYPE_RELAY ? "relay:" : "thermo:") + std::to_string(device.nSerial);
}

bool ParseRunOptions(int argc, const char* const* argv, RunOptions& options, std::string& strError)
{
    bool bAll = false;
    for (int i = 0; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            options.bHelp = true;
            return true;
        }
        if (arg == "--all") {
            bAll = true;
            continue;
        }
        if (arg == "--quiet" || arg == "-q") {
            options.bQuiet = true;
            continue;
        }
        const char* pszValue = i + 1 < argc ? argv[i + 1] : nullptr;
        const bool bTakesValue = arg == "--device" || arg == "--server" || arg == "--port" || arg == "--temperature" ||
                                 arg == "--step" || arg == "--reports" || arg == "--duration" || arg == "--reconnect";
        if (!bTakesValue) {
            strError = "unknown option '" + std::string(arg) + "'";
            return false;
        }
        if (!pszValue) {
            strError = std::string(arg) + " needs a value";
            return false;
        }
        ++i;
        const std::string_view value = pszValue;
        const std::string strBad = "bad value '" + std::string(value) + "' for " + std::string(arg);
        long nNumber = 0;
        float fTemperature = 0.0f;
        if (arg == "--device") {
            DeviceIdentity device;
            if (!ParseDevice(value, device)) {
                strError = strBad + " (thermo:1 to thermo:16, relay:1001 to relay:1016)";
                return false;
            }
            if (std::find(options.devices.begin(), options.devices.end(), device) != options.devices.end()) {
                strError = "device " + DeviceName(device) + " given twice";
                return false;
            }
            options.devices.push_back(device);
        } else if (arg == "--server") {
            if (value.empty()) {
                strError = strBad;
                return false;
            }
            options.strServer = value;
        } else if (arg == "--port") {
            if (!ParseLong(value, nNumber) || nNumber < 1 || nNumber > 65535) {
                strError = strBad + " (1 to 65535)";
                return false;
            }
            options.nPort = static_cast<unsigned>(nNumber);
        } else if (arg == "--temperature") {
            if (!ParseFloat(value, fTemperature) || !IsTemperatureInRange(fTemperature)) {
                strError = strBad + " (a number from -30 to 150)";
                return false;
            }
            options.strTemperature = value;
        } else if (arg == "--step") {
            if (!ParseStep(value, options.nStepMode)) {
                strError = strBad + " (none, up, up-fast, down or down-fast)";
                return false;
            }
        } else if (arg == "--reports") {
            if (!ParseLong(value, nNumber) || nNumber < 1) {
                strError = strBad + " (a whole number from 1)";
                return false;
            }
            options.nReports = nNumber;
        } else if (!ParseSeconds(value, arg == "--duration" ? options.fDurationSeconds : options.fReconnectSeconds)) {
            strError = strBad + " (a number of seconds above 0)";
            return false;
        }
    }
    if (bAll) {
        if (!options.devices.empty()) {
            strError = "--all and --device exclude each other";
            return false;
        }
        AddAllDevices(options.devices);
    }
    if (options.devices.empty()) {
        strError = "no device given (--device MODEL:SERIAL or --all)";
        return false;
    }
    return true;
}

std::string RunUsage()
{
    return R"(Usage: mimicbox-cli [OPTION]... --device MODEL:SERIAL [--device ...]
Simulates Thermo-Box and Relay-Box devices without a window: each device connects to the device
server on its own TCP connection and sends the records the Mimicbox dialog would send.

Devices:
  --device MODEL:SERIAL  thermo:1 to thermo:16, relay:1001 to relay:1016 (relay:1 means relay:1001);
                         may be given many times
  --all                  all 32 devices

Connection:
  --server HOST          host name or IPv4 address of the device server (default 127.0.0.1)
  --port N               its TCP port (default 54741)
  --reconnect SECONDS    after a failed or lost connection, try again after SECONDS instead of ending
                         that device with exit status 1

Thermo-Box:
  --temperature T        starting temperature, -30 to 150 (default 0)
  --step MODE            change per report: none (default), up (+0.01), up-fast (+0.1),
                         down (-0.01), down-fast (-0.1); the temperature stays within -30 to 150

Running:
  --reports N            stop once every device has sent N reports
  --duration SECONDS     stop after SECONDS
  --quiet, -q            do not print the records sent and received
  --help, -h             show this text

Thermo-Boxes report every 1500 ms, Relay-Boxes every 500 ms, at fixed deadlines from the moment they
connect. A Relay-Box flips its switch on every switch-toggle record the server sends. Ctrl-C or
SIGTERM stops all devices and closes their connections. On exit a summary per device is printed.

Exit status: 0 on success, 1 when a connection failed or was lost, 2 on a usage error.
)";
}

}  // namespace mimicbox
