#include "tools/sim/RecordedCommands.h"

#include <cmath>
#include <cstdio>

namespace mimicbox::sim {

namespace {

std::string Quoted(const std::string& record)
{
    std::string text = "\"";
    for (const char c : record) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            text += escaped;
        } else {
            text += c;
        }
    }
    return text + "\"";
}

std::string TimeText(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", value);
    return text;
}

std::string At(const TimedRecord& record) { return Quoted(record.record) + " at " + TimeText(record.seconds); }

}  // namespace

std::optional<std::string> FirstDifference(const std::vector<TimedRecord>& recorded, const std::vector<TimedRecord>& seen,
                                           double tolerance)
{
    for (std::size_t i = 0; i < std::max(recorded.size(), seen.size()); ++i) {
        const std::string which = "record " + std::to_string(i + 1);
        if (i >= seen.size())
            return which + " of the recording, " + At(recorded[i]) + ", never came";
        if (i >= recorded.size())
            return which + ", " + At(seen[i]) + ", is not in the recording";
        if (seen[i].record != recorded[i].record)
            return which + " differs: " + At(seen[i]) + ", recorded " + At(recorded[i]);
        if (std::fabs(seen[i].seconds - recorded[i].seconds) > tolerance)
            return which + " came " + At(seen[i]) + ", recorded at " + TimeText(recorded[i].seconds) +
                   ": more than " + TimeText(tolerance) + " apart";
    }
    return std::nullopt;
}

}  // namespace mimicbox::sim
