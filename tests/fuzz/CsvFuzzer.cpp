// Feeds arbitrary text to the CSV table reader of profiles: a table or a message, and a table's
// seconds always rise.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/sim/CsvTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<mimicbox::sim::TablePoint> points;
    std::string error;
    if (!mimicbox::sim::ParseCsvTable(std::string_view(reinterpret_cast<const char*>(data), size), points, error)) {
        if (error.empty())
            __builtin_trap();
        return 0;
    }
    for (std::size_t i = 1; i < points.size(); ++i) {
        if (!(points[i].seconds > points[i - 1].seconds))
            __builtin_trap();
    }
    if (points.empty())
        __builtin_trap();
    return 0;
}
