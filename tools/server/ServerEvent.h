// What happens at the reference server, as events: its logic emits them and never prints; the text
// on a terminal is a sink, and tests read them whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/DeviceModel.h"
#include "tools/report/RecordDecoder.h"

namespace mimicbox::server {

struct ServerEvent {
    enum class Kind {
        kListening,     // text: "ADDRESS:PORT"
        kConnected,     // peer
        kRecord,        // peer, record, check
        kOverflow,      // peer, count: the bytes dropped
        kClosed,        // peer, device, text: the reason
        kToggleSent,    // peer, device
        kNotReading,    // peer, device: toggles piled up unread, so it was closed
        kStats,         // text: the stats line
        kDeviceListed,  // peer, device (0 type when not yet known)
        kListed,        // count: the devices connected
        kTrouble,       // text: accepting failed for a while
        kRefused,       // text: a command that does not read, and why
        kStopped,
    };

    Kind kind = Kind::kStopped;
    int64_t calendarMillis = 0;  // the calendar at that moment
    std::string_view peer;
    DeviceIdentity device{};     // type 0 until the device's first readable report
    std::string_view record;
    report::RecordCheck check;
    std::size_t count = 0;
    std::string_view text;
};

class ServerSink {
public:
    virtual ~ServerSink() = default;
    virtual void OnEvent(const ServerEvent& event) = 0;
};

}  // namespace mimicbox::server
