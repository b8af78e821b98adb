// Text for a terminal: records with their unprintable bytes escaped, and wall-clock timestamps.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mimicbox {

// The bytes as they would be typed: printable ASCII as is, a backslash as "\\", others as "\xNN".
std::string EscapeBytes(std::string_view bytes);

// The current local time as "HH:MM:SS.mmm".
std::string TimestampNow();

// A seconds count since 1970 as "YYYY-MM-DD HH:MM:SS UTC".
std::string UtcTime(int64_t nSeconds);

}  // namespace mimicbox
