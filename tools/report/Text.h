// Text for a terminal: records with their unprintable bytes escaped, and times.
#pragma once

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

namespace mimicbox::report {

// The bytes as they would be typed: printable ASCII as is, a backslash as "\\", others as "\xNN".
std::string EscapeBytes(std::string_view bytes);

// A calendar time in milliseconds since 1970 as local "HH:MM:SS.mmm".
std::string LocalTimestamp(int64_t calendarMillis);

// A seconds count since 1970 as "YYYY-MM-DD HH:MM:SS UTC".
std::string UtcTime(int64_t seconds);

// A duration in milliseconds with two decimals: "0.42 ms".
std::string FormatMs(double milliseconds);

// The shortest text that reads back as the number: "1.2", "0.01", "3".
std::string FormatNumber(double value);
// The same added to `out`, for any kind of number, where JSON is written by hand.
template <typename Number>
void AppendNumber(std::string& out, Number value)
{
    std::array<char, 32> text;
    out.append(text.data(), std::to_chars(text.data(), text.data() + text.size(), value).ptr);
}

// `value` to the nearest multiple of `unit`: 21.3749 to 1e-3 is 21.375.
inline double RoundTo(double value, double unit) { return std::round(value / unit) * unit; }

// "1 device", "3 devices": a count with its noun in the right number.
std::string Count(uint64_t count, std::string_view noun);

}  // namespace mimicbox::report
