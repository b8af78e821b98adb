// A capture: what devices and their server sent each other, chunk by chunk, with the life of each
// connection. Written as JSON Lines by `record` and `import`, read back for replay.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mimicbox::capture {

constexpr int kVersion = 1;

// Longer than any record a device or server sends, short enough that garbage without a NUL cannot
// grow without end where records are framed.
constexpr std::size_t kLongestRecord = std::size_t{1} << 20;

enum class CaptureKind { kConnect, kData, kHalfClose, kClose, kReset, kConnectFailed };
enum class Side { kDevice, kServer };

struct CaptureEvent {
    double t = 0;           // seconds since the capture's start, monotonic
    int64_t wall = 0;       // milliseconds since the epoch
    uint64_t conn = 0;      // the connection's number in the capture
    std::string peer;       // the device's address, "127.0.0.1:59598"
    CaptureKind kind = CaptureKind::kData;
    Side from = Side::kDevice;  // data, half-close, reset: who sent it
    std::string bytes;      // data: exactly as sent
    std::string reason;     // connect-failed, reset: why
};

const char* KindName(CaptureKind kind);
bool KindFromName(std::string_view name, CaptureKind& kind);
const char* SideName(Side side);

}  // namespace mimicbox::capture
