#include "tools/report/RecordDecoder.h"

#include <charconv>

#include "core/DeviceModel.h"
#include "link/Record.h"
#include "tools/report/Text.h"

namespace mimicbox::report {

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
bool CheckThermoBody(std::string_view body, RecordCheck& check)
{
    if (!ReadInt(body, check.clock) || !Expect(body, ", ") || body.empty() || body.back() != ';')
        return false;
    check.temperature = body.substr(0, body.size() - 1);
    double value = 0;
    const char* end = check.temperature.data() + check.temperature.size();
    const auto result = std::from_chars(check.temperature.data(), end, value, std::chars_format::fixed);
    const std::size_t point = check.temperature.find('.');
    return result.ec == std::errc{} && result.ptr == end && point != std::string_view::npos &&
           check.temperature.size() - point == 7;
}

// "<clock>, <switch 0 or 1>, 0;"
bool CheckRelayBody(std::string_view body, RecordCheck& check)
{
    int32_t zero = -1;
    return ReadInt(body, check.clock) && Expect(body, ", ") && ReadInt(body, check.switchState) &&
           (check.switchState == 0 || check.switchState == 1) && Expect(body, ", ") && ReadInt(body, zero) &&
           zero == 0 && body == ";";
}

RecordCheck Unreadable(RecordCheck check, const char* problem)
{
    check.readable = false;
    check.problem = problem;
    return check;
}

}  // namespace

int64_t ClockSeconds(int32_t clock)
{
    constexpr int64_t kWrap = int64_t{1} << 32;
    return clock < 0 ? clock + kWrap : clock;
}

RecordCheck CheckRecord(std::string_view record)
{
    RecordCheck check;
    RecordHeader header{};
    if (!ParseHeader(record, header))
        return Unreadable(check, "no header");
    check.deviceType = header[HEADER_DEVICE_TYPE];
    check.serial = header[HEADER_SERIAL];
    check.command = header[HEADER_COMMAND];
    check.readable = true;
    if (check.command != CMD_REPORT)
        return check;
    const std::string_view body = RecordBody(record);
    if (check.deviceType == TYPE_THERMO)
        return CheckThermoBody(body, check) ? check : Unreadable(check, "bad Thermo-Box report");
    if (check.deviceType == TYPE_RELAY)
        return CheckRelayBody(body, check) ? check : Unreadable(check, "bad Relay-Box report");
    return Unreadable(check, "unknown device type");
}

std::string DescribeRecord(std::string_view record, const RecordCheck& check)
{
    if (!check.readable)
        return std::string("unreadable record (") + check.problem + "): \"" + EscapeBytes(record) + "\"";
    if (check.command == CMD_REPORT) {
        const std::string head = std::string(ModelName(check.deviceType)) + " " + std::to_string(check.serial) + "  " +
                                 UtcTime(ClockSeconds(check.clock)) + "  ";
        if (check.deviceType == TYPE_THERMO)
            return head + std::string(check.temperature) + " \xC2\xB0" "C";
        return head + "switch " + (check.switchState ? "on" : "off");
    }
    std::string text = "command " + std::to_string(check.command) + " for device " + std::to_string(check.deviceType) +
                       ", serial " + std::to_string(check.serial);
    const std::string_view body = RecordBody(record);
    int32_t value = 0;
    if (check.command == CMD_SWITCH_TOGGLE)
        text += " (switch toggle)";
    else if (check.command == CMD_INT_VALUE && ParseIntField(body, value))
        text += ", value " + std::to_string(value);
    else if (check.command == CMD_TEXT)
        text += ", text \"" + EscapeBytes(ParseTextField(body)) + "\"";
    return text;
}

}  // namespace mimicbox::report
