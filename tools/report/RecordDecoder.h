// What a device server makes of one received record: the device, its serial, the clock as a time and
// the temperature or switch state, or why the record cannot be read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mimicbox::report {

// The facts of a record, found without building any text: cheap enough for every record of a plant.
struct RecordCheck {
    bool readable = false;
    const char* problem = nullptr;  // why it is unreadable
    int32_t deviceType = 0;
    int32_t serial = 0;
    int32_t command = 0;
    int32_t clock = 0;                // reports
    int32_t switchState = 0;          // Relay-Box reports
    std::string_view temperature;     // Thermo-Box reports, as sent
};

// Checks a record without its NUL. Reports must have the exact body of their model; other commands
// need a header only.
RecordCheck CheckRecord(std::string_view record);

// One line for a terminal: reports of both models in full, other readable records by their command,
// anything else flagged as unreadable with its bytes escaped.
std::string DescribeRecord(std::string_view record, const RecordCheck& check);

// The calendar time that a report's 32-bit clock stands for: before 2038 the value itself, after it
// the negative values that follow.
int64_t ClockSeconds(int32_t clock);

}  // namespace mimicbox::report
