// The text records exchanged with a device server: one line of 8-bit text followed by one NUL byte.
// Building and reading them never depends on the process locale.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace mimicbox {

// Command codes, the seventh number of a record header.
constexpr int32_t CMD_REPORT = 10;
constexpr int32_t CMD_SWITCH_TOGGLE = 11;
constexpr int32_t CMD_INT_VALUE = 13;
constexpr int32_t CMD_TEXT = 14;

// The format texts of the records; the string table holds the same texts.
constexpr const char* RECORD_HEADER_FORMAT = "TolvarkControl: %d, %d, %d, %d, %d, %d, %d;";
constexpr const char* RECORD_INT_FIELD_FORMAT = "%d;";
constexpr const char* RECORD_TEMP_BODY_FORMAT = "%d, %3.2f;";
constexpr const char* RECORD_SWITCH_BODY_FORMAT = "%d, %d, %d;";

constexpr std::size_t HEADER_NUMBER_COUNT = 7;
constexpr std::size_t HEADER_DEVICE_TYPE = 0;
constexpr std::size_t HEADER_SERIAL = 1;
constexpr std::size_t HEADER_COMMAND = 6;
using RecordHeader = std::array<int32_t, HEADER_NUMBER_COUNT>;

// The text of one report record, without its NUL. The clock is printed as its low 32 bits, signed.
// A Thermo-Box (16) reports the temperature, a Relay-Box (8) the switch state; any other type gets the
// header alone.
std::string FormatReport(int32_t nDeviceType, int32_t nSerial, int64_t nClock, int32_t nSwitchState,
                         float fTemperature);

// A record of the given command with an empty body, as a server sends it (fixed numbers 4, 0, 0, 1).
std::string FormatCommand(int32_t nDeviceType, int32_t nSerial, int32_t nCommand);

// Reads the seven header numbers from the start of a record by the rules of sscanf with the header
// format: each blank of the format matches any run of white space, each number may carry a sign and is
// read in base 10. Returns true only when all seven are read; then `header` holds them, otherwise its
// content is unspecified. A number outside the signed 32-bit range is not read, so the header fails.
// Safe on any bytes; reading stops at the end of `record`.
bool ParseHeader(std::string_view record, RecordHeader& header);

// The body of a received record: what follows its first ";", empty when it has none.
std::string_view RecordBody(std::string_view record);

// Reads the integer body of a CMD_INT_VALUE record ("%d;"); false when it does not start with one.
bool ParseIntField(std::string_view body, int32_t& nValue);

// The text body of a CMD_TEXT record: up to, without, the next ";".
std::string_view ParseTextField(std::string_view body);

}  // namespace mimicbox
