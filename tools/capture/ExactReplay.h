// Exact mode: every recorded connection played again as it was, byte for byte, on the replay's clock:
// its connect, each chunk the device sent with its recorded chunking, and its half-close, reset or
// close. Copies play each connection again under new serials.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/capture/RecordedDevices.h"

namespace mimicbox::capture {

enum class StepKind { kSend, kHalfClose, kReset, kClose };

struct ScriptStep {
    double at = 0;  // seconds on the replay's clock
    StepKind kind = StepKind::kSend;
    std::string bytes;
};

struct ConnectionScript {
    std::string device;   // the name it plays as ("relay:2005"); empty when no report named it
    int32_t serial = 0;   // the serial to write into its reports; 0 keeps the recorded one
    double connectAt = 0;
    // Shared by the copies of one recorded connection, which send the same bytes.
    std::shared_ptr<const std::vector<ScriptStep>> steps;
    // When the script closes or resets the connection; without a close it stays open to the round's end.
    std::optional<double> EndsAt() const;
};

struct ExactReplay {
    ReplaySettings settings;
    std::vector<ConnectionScript> connections;  // copies included, by connect time
    double length = 0;                          // the window on the replay's clock
    std::shared_ptr<const sim::RecordedCommands> commands;  // by the name each device plays as
    std::optional<double> sameCommands;         // the comparison's tolerance, when asked for
};

// False with a message when serials clash or run out.
bool PlanExact(const Capture& capture, const ReplaySettings& settings, ExactReplay& replay, std::string& error);

// The most connections a round holds open at one moment, copies included: each needs a descriptor.
std::size_t PeakConnections(const ExactReplay& replay);

}  // namespace mimicbox::capture
