#include "tools/server/RecordDecoder.h"

#include <charconv>

#include "core/DeviceModel.h"
#include "link/Record.h"
#include "tools/Terminal.h"

namespace mimicbox {

namespace {

bool ReadInt(std::string_view& text, int32_t& value)
{
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc{})
        return false;
    text.remove_prefix(static_cast<std::size_t>(result.ptr - text.data()));
    return true;
}

bool Expect(std::string_view& text, std::string_view literal)
{
    if (text.substr(0, literal.size()) != literal)
        return false;
    text.remove_prefix(literal.size());
    return true;
}

// "<clock>, <temperature with six decimals>;"
bool DecodeThermoBody(std::string_view body, int32_t& nClock, std::string& strTemperature)
{
    if (!ReadInt(body, nClock) || !Expect(body, ", ") || body.empty() || body.back() != ';')
        return false;
    strTemperature = body.substr(0, body.size() - 1);
    double fValue = 0;
    const auto result = std::from_chars(strTemperature.data(), strTemperature.data() + strTemperature.size(), fValue,
                                        std::chars_format::fixed);
    const std::size_t nPoint = strTemperature.find('.');
    return result.ec == std::errc{} && result.ptr == strTemperature.data() + strTemperature.size() &&
           nPoint != std::string::npos && strTemperature.size() - nPoint == 7;
}

// "<clock>, <switch 0 or 1>, 0;"
bool DecodeRelayBody(std::string_view body, int32_t& nClock, int32_t& nSwitch)
{
    int32_t nZero = -1;
    return ReadInt(body, nClock) && Expect(body, ", ") && ReadInt(body, nSwitch) && (nSwitch == 0 || nSwitch == 1) &&
           Expect(body, ", ") && ReadInt(body, nZero) && nZero == 0 && body == ";";
}

DecodedRecord Unreadable(std::string_view record, const char* pszWhy)
{
    DecodedRecord decoded;
    decoded.strText = std::string("unreadable record (") + pszWhy + "): \"" + EscapeBytes(record) + "\"";
    return decoded;
}

}  // namespace

int64_t ClockSeconds(int32_t nClock)
{
    constexpr int64_t kWrap = int64_t{1} << 32;
    return nClock < 0 ? nClock + kWrap : nClock;
}

DecodedRecord DecodeRecord(std::string_view record)
{
    RecordHeader header{};
    if (!ParseHeader(record, header))
        return Unreadable(record, "no header");
    DecodedRecord decoded;
    decoded.nDeviceType = header[HEADER_DEVICE_TYPE];
    decoded.nSerial = header[HEADER_SERIAL];
    decoded.nCommand = header[HEADER_COMMAND];
    const std::string_view body = RecordBody(record);
    int32_t nClock = 0;
    if (decoded.nCommand != CMD_REPORT) {
        decoded.bReadable = true;
        decoded.strText = "command " + std::to_string(decoded.nCommand) + " for device " +
                          std::to_string(decoded.nDeviceType) + ", serial " + std::to_string(decoded.nSerial);
        int32_t nValue = 0;
        if (decoded.nCommand == CMD_SWITCH_TOGGLE)
            decoded.strText += " (switch toggle)";
        else if (decoded.nCommand == CMD_INT_VALUE && ParseIntField(body, nValue))
            decoded.strText += ", value " + std::to_string(nValue);
        else if (decoded.nCommand == CMD_TEXT)
            decoded.strText += ", text \"" + EscapeBytes(ParseTextField(body)) + "\"";
        return decoded;
    }
    if (decoded.nDeviceType == TYPE_THERMO) {
        std::string strTemperature;
        if (!DecodeThermoBody(body, nClock, strTemperature))
            return Unreadable(record, "bad Thermo-Box report");
        decoded.strText = "Thermo-Box " + std::to_string(decoded.nSerial) + "  " + UtcTime(ClockSeconds(nClock)) +
                          "  " + strTemperature + " \xC2\xB0" "C";
    } else if (decoded.nDeviceType == TYPE_RELAY) {
        int32_t nSwitch = 0;
        if (!DecodeRelayBody(body, nClock, nSwitch))
            return Unreadable(record, "bad Relay-Box report");
        decoded.strText = "Relay-Box " + std::to_string(decoded.nSerial) + "  " + UtcTime(ClockSeconds(nClock)) +
                          "  switch " + (nSwitch ? "on" : "off");
    } else {
        return Unreadable(record, "unknown device type");
    }
    decoded.bReadable = true;
    return decoded;
}

}  // namespace mimicbox
