#include "tools/sim/Fault.h"

#include <algorithm>
#include <cmath>

#include "link/Record.h"
#include "tools/sim/NameTable.h"

namespace mimicbox::sim {

namespace {

constexpr std::pair<std::string_view, FaultKind> kFaultNames[] = {
    {"missing-nul", FaultKind::kMissingNul},
    {"double-nul", FaultKind::kDoubleNul},
    {"split", FaultKind::kSplit},
    {"garbage", FaultKind::kGarbage},
    {"oversized", FaultKind::kOversized},
    {"bad-header", FaultKind::kBadHeader},
    {"wrong-type", FaultKind::kWrongType},
    {"duplicate", FaultKind::kDuplicate},
    {"stale-clock", FaultKind::kStaleClock},
    {"future-clock", FaultKind::kFutureClock},
    {"clock-2038", FaultKind::kClock2038},
    {"out-of-range", FaultKind::kOutOfRange},
    {"stop-reading", FaultKind::kStopReading},
};

// The first second the signed 32-bit clock cannot hold.
constexpr int64_t kClock2038 = 2147483648;
constexpr int32_t kWrongTypeCode = 12;

int64_t WholeSeconds(double seconds) { return static_cast<int64_t>(std::llround(seconds)); }

std::string Reprint(const ReportDraft& draft, int64_t clock, float temperature)
{
    return FormatReport(draft.identity.nDeviceType, draft.identity.nSerial, clock, draft.switchState, temperature);
}

std::string RandomBytes(std::size_t count, Random& random)
{
    std::string bytes(count, '\0');
    // Never a NUL: garbage that ended the record early would be a different fault.
    for (char& byte : bytes)
        byte = static_cast<char>(1 + random.Next() % 255);
    return bytes;
}

// `record` with its bytes from `at` to `at + size` replaced by `text`. Built by appending: GCC 12
// at -O3 warns falsely on std::string's insert and replace.
std::string Splice(std::string_view record, std::size_t at, std::size_t size, std::string_view text)
{
    at = std::min(at, record.size());
    size = std::min(size, record.size() - at);
    std::string spliced;
    spliced.reserve(record.size() + text.size());
    spliced.append(record.substr(0, at));
    spliced.append(text);
    spliced.append(record.substr(at + size));
    return spliced;
}

// The header with the serial field made unreadable: "TolvarkControl: 16, x3, ...".
std::string BadHeader(std::string_view record)
{
    const std::size_t comma = record.find(',');
    return comma == std::string_view::npos ? std::string(record) : Splice(record, comma + 2, 0, "x");
}

// The first header number, the type code, replaced.
std::string WrongType(std::string_view record, int32_t deviceType)
{
    const std::string type = std::to_string(deviceType);
    const std::size_t at = record.find(type);
    return at == std::string_view::npos ? std::string(record) : Splice(record, at, type.size(), std::to_string(kWrongTypeCode));
}

}  // namespace

FaultedReport ApplyFault(const Fault& fault, const ReportDraft& draft, std::string_view record, Random& random)
{
    const std::string whole = std::string(record) + '\0';
    switch (fault.kind) {
    case FaultKind::kMissingNul:
        return {std::string(record), {}};
    case FaultKind::kDoubleNul:
        return {whole + '\0', {}};
    case FaultKind::kSplit: {
        const std::size_t cut = 1 + static_cast<std::size_t>(random.Next() % std::max<std::size_t>(record.size(), 1));
        return {whole.substr(0, cut), whole.substr(cut)};
    }
    case FaultKind::kGarbage:
        return {RandomBytes(fault.bytes, random) + whole, {}};
    case FaultKind::kOversized: {
        std::string padded(record);
        if (padded.size() < fault.bytes)
            padded.append(fault.bytes - padded.size(), ' ');
        return {padded + '\0', {}};
    }
    case FaultKind::kBadHeader:
        return {BadHeader(record) + '\0', {}};
    case FaultKind::kWrongType:
        return {WrongType(record, draft.identity.nDeviceType) + '\0', {}};
    case FaultKind::kDuplicate:
        return {whole + whole, {}};
    case FaultKind::kStaleClock:
        return {Reprint(draft, draft.calendarSeconds - WholeSeconds(fault.seconds), draft.temperature) + '\0', {}};
    case FaultKind::kFutureClock:
        return {Reprint(draft, draft.calendarSeconds + WholeSeconds(fault.seconds), draft.temperature) + '\0', {}};
    case FaultKind::kClock2038:
        return {Reprint(draft, kClock2038 + WholeSeconds(fault.seconds), draft.temperature) + '\0', {}};
    case FaultKind::kOutOfRange:
        return {Reprint(draft, draft.calendarSeconds, static_cast<float>(fault.value)) + '\0', {}};
    case FaultKind::kStopReading:
        break;
    }
    return {whole, {}};
}

bool FaultRule::AppliesTo(const DeviceIdentity& device) const
{
    const bool named = devices.empty() || std::any_of(devices.begin(), devices.end(),
                                                      [&](const DeviceRange& range) { return range.Contains(device); });
    return named && FaultAppliesTo(fault.kind, device.nDeviceType);
}

bool FaultAppliesTo(FaultKind kind, int32_t deviceType)
{
    return kind != FaultKind::kOutOfRange || deviceType == TYPE_THERMO;
}

const char* FaultKindName(FaultKind kind) { return NameOf(kFaultNames, kind, "fault"); }

bool ParseFaultKind(std::string_view name, FaultKind& kind) { return ParseName(kFaultNames, name, kind); }

}  // namespace mimicbox::sim
