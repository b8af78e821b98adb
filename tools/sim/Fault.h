// Faults at the record layer: what a broken device or network does to the reports a server reads.
// Plain data, and the pure rule that turns one report into the bytes a fault writes instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <vector>

#include "core/DeviceModel.h"
#include "tools/sim/DeviceRange.h"
#include "tools/sim/Random.h"
#include "tools/sim/Time.h"

namespace mimicbox::sim {

enum class FaultKind {
    kMissingNul,   // the record without its NUL, so that it runs into the next one
    kDoubleNul,    // two NULs after the record
    kSplit,        // the record in two writes, `delay` apart
    kGarbage,      // `bytes` random bytes before the record
    kOversized,    // the record padded to `bytes` bytes
    kBadHeader,    // the serial field is no number
    kWrongType,    // a type code that is neither 16 nor 8
    kDuplicate,    // the record twice
    kStaleClock,   // the clock `seconds` behind
    kFutureClock,  // the clock `seconds` ahead
    kClock2038,    // the clock `seconds` past 2038-01-19 03:14:08 UTC, printed negative by the record rule
    kOutOfRange,   // a Thermo-Box temperature of `value`, outside -30 ... 150
    kStopReading,  // the device stops reading its socket, so the server's writes back up
};

// When a fault fires; exactly one of the three is set.
struct FaultTrigger {
    std::optional<double> at;  // once, on the first report at or after these seconds from the start
    uint64_t every = 0;        // on every Nth report of the device
    double probability = 0;    // on each report with this chance, drawn from the device's seed
};

struct Fault {
    FaultKind kind = FaultKind::kSplit;
    FaultTrigger trigger;
    double delay = 0.2;          // split: seconds between the two writes
    std::size_t bytes = 16;      // garbage: how many; oversized: the record's length
    double seconds = 3600;       // stale-clock, future-clock, clock-2038
    double value = 200;          // out-of-range
};

// A fault and the devices it applies to: one [[fault]] table of a scenario.
struct FaultRule {
    Fault fault;
    std::vector<DeviceRange> devices;  // empty: every device it can apply to

    // Named by `devices`, and a fault that can happen to this model.
    bool AppliesTo(const DeviceIdentity& device) const;
};

// What a report looks like before it is written: the inputs of its text, so that a fault can print
// another clock or temperature by the same record rule.
struct ReportDraft {
    DeviceIdentity identity;
    int64_t calendarSeconds = 0;
    int switchState = 0;
    float temperature = 0;
};

// The bytes a fault writes for one report whose text (without NUL) is `record`: `now` at once and,
// for a split, `later` after the fault's delay. stop-reading writes the record as it is.
struct FaultedReport {
    std::string now;
    std::string later;
};
FaultedReport ApplyFault(const Fault& fault, const ReportDraft& draft, std::string_view record, Random& random);

// Whether the fault can happen to a device of this type (out-of-range needs a temperature).
bool FaultAppliesTo(FaultKind kind, int32_t deviceType);

// "missing-nul", "split", ... as scenario files name them; ParseFaultKind is its inverse.
const char* FaultKindName(FaultKind kind);
bool ParseFaultKind(std::string_view name, FaultKind& kind);

}  // namespace mimicbox::sim
