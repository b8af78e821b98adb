// What a device server makes of one received record: the device, its serial, the clock as a time
// and the temperature or switch state, or why the record cannot be read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mimicbox {

struct DecodedRecord {
    bool bReadable = false;
    int32_t nDeviceType = 0;
    int32_t nSerial = 0;
    int32_t nCommand = 0;
    std::string strText;  // one line for a terminal
};

// Decodes a record without its NUL. Reports of both models are described in full; other readable
// records by their command code; anything else is flagged as unreadable, its bytes escaped.
DecodedRecord DecodeRecord(std::string_view record);

// The calendar time that a report's 32-bit clock stands for: before 2038 the value itself, after it
// the negative values that follow.
int64_t ClockSeconds(int32_t nClock);

}  // namespace mimicbox
