#include "tools/sim/Verdict.h"

#include <algorithm>
#include <cstdio>

#include "link/IncomingRecords.h"
#include "link/Record.h"
#include "tools/sim/Device.h"

namespace mimicbox::sim {

namespace {

std::string SecondsText(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g s", seconds);
    return text;
}

VerdictResult Result(const std::string& device, std::string name, bool passed, std::string detail)
{
    return {device, std::move(name), passed, std::move(detail)};
}

}  // namespace

Verdict::Verdict(const std::vector<DeviceIdentity>& devices, std::vector<Expectation> expectations)
    : devices_(devices), expectations_(std::move(expectations)), seen_(devices.size()),
      keepCommands_(std::any_of(expectations_.begin(), expectations_.end(),
                                [](const Expectation& expectation) { return expectation.sameCommands.has_value(); }))
{
}

void Verdict::OnEvent(const Event& event)
{
    // Devices added live are judged by the expectations for every device.
    if (event.kind == EventKind::kAdded && event.device >= seen_.size()) {
        devices_.resize(event.device + 1);
        seen_.resize(event.device + 1);
        devices_[event.device] = event.identity;
    }
    if (event.device >= seen_.size())
        return;
    Seen& seen = seen_[event.device];
    switch (event.kind) {
    case EventKind::kSent:
        if (event.fault && !seen.firstFault)
            seen.firstFault = event.time;
        break;
    case EventKind::kReceived: {
        RecordHeader header;
        // A record dropped after an unreadable one is the server's good record, not a fault of its own.
        if (!event.read && !event.dropped)
            ++seen.unreadable;
        else if (event.dropped)
            ++seen.dropped;
        else if (ParseHeader(event.record, header) && FlipsSwitch(event.identity.nDeviceType, header))
            ++seen.toggles;
        if (keepCommands_ && seen.firstConnected)
            seen.commands.push_back({std::chrono::duration<double>(event.time - *seen.firstConnected).count(),
                                     std::string(event.record)});
        break;
    }
    case EventKind::kConnected:
        seen.connected = true;
        if (!seen.firstConnected)
            seen.firstConnected = event.time;
        break;
    case EventKind::kLost:
        if (!seen.lost)
            seen.lostAt = event.time;
        seen.lost = true;
        break;
    default:
        break;
    }
}

bool Verdict::Names(const Expectation& expectation, std::size_t device) const
{
    return expectation.devices.empty() ||
           std::any_of(expectation.devices.begin(), expectation.devices.end(),
                       [&](const DeviceRange& range) { return range.Contains(devices_[device]); });
}

bool Verdict::CoversConnection(std::size_t device) const
{
    return std::any_of(expectations_.begin(), expectations_.end(), [&](const Expectation& expectation) {
        return expectation.connection != ConnectionExpectation::kAny && Names(expectation, device);
    });
}

std::vector<VerdictResult> Verdict::Results() const
{
    std::vector<VerdictResult> results;
    for (std::size_t device = 0; device < devices_.size(); ++device)
        for (const Expectation& expectation : expectations_)
            if (Names(expectation, device))
                Judge(expectation, device, results);
    return results;
}

void Verdict::Judge(const Expectation& expectation, std::size_t device, std::vector<VerdictResult>& results) const
{
    const Seen& seen = seen_[device];
    const std::string name = DeviceName(devices_[device]);
    if (expectation.connection == ConnectionExpectation::kKept) {
        const bool kept = seen.connected && !seen.lost;
        results.push_back(Result(name, "connection kept", kept,
                                 kept ? "kept" : seen.lost ? "the server closed it" : "never connected"));
        results.back().settled = seen.lost;
    } else if (expectation.connection == ConnectionExpectation::kClosed) {
        std::string title = "connection closed";
        bool passed = seen.lost;
        std::string detail = seen.lost ? "closed" : "still open at the end";
        if (expectation.within) {
            title += " within " + SecondsText(*expectation.within) + " of a fault";
            if (!seen.firstFault) {
                passed = false;
                detail = "no fault was applied";
            } else if (seen.lost) {
                const double after = std::chrono::duration<double>(*seen.lostAt - *seen.firstFault).count();
                passed = after >= 0 && after <= *expectation.within;
                detail = after >= 0 ? "closed " + SecondsText(after) + " after the fault" : "closed before the fault";
            }
        }
        results.push_back(Result(name, title, passed, detail));
        results.back().settled = seen.lost;
    }
    if (expectation.minToggles || expectation.maxToggles) {
        const uint64_t low = expectation.minToggles.value_or(0);
        const uint64_t high = expectation.maxToggles.value_or(UINT64_MAX);
        std::string title = "toggles";
        if (expectation.minToggles)
            title += " at least " + std::to_string(low);
        if (expectation.maxToggles)
            title += std::string(expectation.minToggles ? " and" : "") + " at most " + std::to_string(high);
        results.push_back(Result(name, title, seen.toggles >= low && seen.toggles <= high,
                                 std::to_string(seen.toggles) + " received"));
        results.back().settled = seen.toggles > high || (seen.toggles >= low && !expectation.maxToggles);
    }
    if (expectation.sameCommands) {
        static const std::vector<TimedRecord> kNone;
        const std::vector<TimedRecord>* recorded = &kNone;
        if (expectation.recording && expectation.recording->count(name))
            recorded = &expectation.recording->at(name);
        const auto difference = FirstDifference(*recorded, seen.commands, *expectation.sameCommands);
        results.push_back(Result(name, "same commands as the recording", !difference,
                                 difference ? *difference : std::to_string(seen.commands.size()) + " records alike"));
    }
    if (expectation.noUnreadableCommands) {
        results.push_back(Result(name, "no unreadable commands", seen.unreadable == 0,
                                 std::to_string(seen.unreadable) + " unreadable" +
                                     (seen.dropped ? ", " + std::to_string(seen.dropped) + " dropped after one" : "")));
        results.back().settled = seen.unreadable > 0;
    }
}

}  // namespace mimicbox::sim
