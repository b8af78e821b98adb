#include "tools/report/Text.h"

#include <cstdio>
#include <ctime>

namespace mimicbox::report {

std::string EscapeBytes(std::string_view bytes)
{
    std::string text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            text += "\\\\";
        } else if (byte >= 0x20 && byte < 0x7F) {
            text += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            text += escaped;
        }
    }
    return text;
}

std::string LocalTimestamp(int64_t calendarMillis)
{
    const auto seconds = static_cast<std::time_t>(calendarMillis / 1000);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(calendarMillis % 1000));
    return text;
}

std::string UtcTime(int64_t seconds)
{
    const auto time = static_cast<std::time_t>(seconds);
    std::tm utc{};
    if (!::gmtime_r(&time, &utc))
        return "?";
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &utc);
    return text;
}

std::string FormatMs(double milliseconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f ms", milliseconds);
    return text;
}

std::string FormatNumber(double value)
{
    std::string text;
    AppendNumber(text, value);
    return text;
}

std::string Count(uint64_t count, std::string_view noun)
{
    return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

}  // namespace mimicbox::report
