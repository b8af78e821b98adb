#include "link/Record.h"

#include <charconv>
#include <cstdio>
#include <limits>

#include "core/DeviceModel.h"

namespace mimicbox {

namespace {

// The header's fixed numbers 3 to 6 as a report sends them.
constexpr int32_t HEADER_FIXED_3 = 4;
constexpr int32_t HEADER_FIXED_4 = 0;
constexpr int32_t HEADER_FIXED_5 = 0;
constexpr int32_t HEADER_FIXED_6 = 1;

// White space as the C locale's isspace sees it; safe for every byte value.
bool IsScanSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void SkipSpace(std::string_view text, std::size_t& nPos)
{
    while (nPos < text.size() && IsScanSpace(text[nPos]))
        ++nPos;
}

// One %d conversion: white space, an optional sign, at least one decimal digit, within int32_t.
bool ScanInt(std::string_view text, std::size_t& nPos, int32_t& nValue)
{
    SkipSpace(text, nPos);
    std::size_t n = nPos;
    bool bNegative = false;
    if (n < text.size() && (text[n] == '+' || text[n] == '-')) {
        bNegative = text[n] == '-';
        ++n;
    }
    if (n >= text.size() || !IsDigit(text[n]))
        return false;
    // Accumulate the magnitude in 64 bits and stop at the first step past the 32-bit range.
    constexpr int64_t nLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t nMagnitude = 0;
    for (; n < text.size() && IsDigit(text[n]); ++n) {
        nMagnitude = nMagnitude * 10 + (text[n] - '0');
        if (nMagnitude > nLimit)
            return false;
    }
    const int64_t nSigned = bNegative ? -nMagnitude : nMagnitude;
    if (nSigned > std::numeric_limits<int32_t>::max())
        return false;
    nValue = static_cast<int32_t>(nSigned);
    nPos = n;
    return true;
}

// Scans `text` with a format of literal characters, blanks and %d conversions, as sscanf does.
// Returns the number of conversions stored in `values` before the first mismatch.
std::size_t ScanInts(std::string_view text, std::string_view format, int32_t* values, std::size_t nMax)
{
    std::size_t nPos = 0;
    std::size_t nCount = 0;
    for (std::size_t f = 0; f < format.size(); ++f) {
        const char c = format[f];
        if (IsScanSpace(c)) {
            SkipSpace(text, nPos);
        } else if (c == '%' && f + 1 < format.size() && format[f + 1] == 'd') {
            ++f;
            if (nCount == nMax || !ScanInt(text, nPos, values[nCount]))
                return nCount;
            ++nCount;
        } else {
            if (nPos >= text.size() || text[nPos] != c)
                return nCount;
            ++nPos;
        }
    }
    return nCount;
}

// Appends a double in fixed notation with six decimals, as "%lf" prints it in the C locale.
void AppendFixed6(std::string& out, double value)
{
    char buf[400];
    const auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 6);
    out.append(buf, result.ptr);
}

template <typename... Args>
void AppendFormatted(std::string& out, const char* format, Args... args)
{
    char buf[160];
    const int n = std::snprintf(buf, sizeof buf, format, args...);
    if (n > 0)
        out.append(buf, static_cast<std::size_t>(n) < sizeof buf ? static_cast<std::size_t>(n) : sizeof buf - 1);
}

}  // namespace

std::string FormatReport(int32_t nDeviceType, int32_t nSerial, int64_t nClock, int32_t nSwitchState,
                         float fTemperature)
{
    // Only the clock's low 32 bits go on the wire, as a signed number.
    const int32_t nClock32 = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(nClock)));
    std::string text = FormatCommand(nDeviceType, nSerial, CMD_REPORT);
    if (nDeviceType == TYPE_THERMO) {
        AppendFormatted(text, "%d, ", nClock32);
        AppendFixed6(text, static_cast<double>(fTemperature));
        text += ';';
    } else if (nDeviceType == TYPE_RELAY) {
        AppendFormatted(text, RECORD_SWITCH_BODY_FORMAT, nClock32, nSwitchState, 0);
    }
    return text;
}

std::string FormatCommand(int32_t nDeviceType, int32_t nSerial, int32_t nCommand)
{
    std::string text;
    AppendFormatted(text, RECORD_HEADER_FORMAT, nDeviceType, nSerial, HEADER_FIXED_3, HEADER_FIXED_4, HEADER_FIXED_5,
                    HEADER_FIXED_6, nCommand);
    return text;
}

bool ParseHeader(std::string_view record, RecordHeader& header)
{
    return ScanInts(record, RECORD_HEADER_FORMAT, header.data(), header.size()) == HEADER_NUMBER_COUNT;
}

std::string_view RecordBody(std::string_view record)
{
    const std::size_t nSemicolon = record.find(';');
    return nSemicolon == std::string_view::npos ? std::string_view{} : record.substr(nSemicolon + 1);
}

bool ParseIntField(std::string_view body, int32_t& nValue)
{
    return ScanInts(body, RECORD_INT_FIELD_FORMAT, &nValue, 1) == 1;
}

std::string_view ParseTextField(std::string_view body)
{
    return body.substr(0, body.find(';'));
}

}  // namespace mimicbox
