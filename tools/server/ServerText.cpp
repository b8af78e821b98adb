#include "tools/server/ServerText.h"

#include "tools/report/Text.h"
#include "tools/sim/Device.h"

namespace mimicbox::server {

std::string DeviceLabel(const DeviceIdentity& device)
{
    return device.nDeviceType == 0 ? "unknown device" : sim::DeviceName(device);
}

void ServerText::Line(std::FILE* stream, const ServerEvent& event, const std::string& text) const
{
    const std::string time = report::LocalTimestamp(event.calendarMillis);
    if (event.peer.empty())
        std::fprintf(stream, "%s %s\n", time.c_str(), text.c_str());
    else
        std::fprintf(stream, "%s %.*s %s\n", time.c_str(), static_cast<int>(event.peer.size()), event.peer.data(), text.c_str());
}

void ServerText::OnEvent(const ServerEvent& event)
{
    using Kind = ServerEvent::Kind;
    const std::string text(event.text);
    switch (event.kind) {
    case Kind::kListening: Line(out_, event, "listening on " + text); break;
    case Kind::kConnected:
        if (!quiet_)
            Line(out_, event, "connected");
        break;
    case Kind::kRecord:
        // Quiet, a readable record costs no text at all.
        if (!quiet_ || !event.check.readable)
            Line(out_, event, report::DescribeRecord(event.record, event.check));
        break;
    case Kind::kOverflow:
        Line(out_, event, "unreadable: " + std::to_string(event.count) + " bytes without a record end, dropped");
        break;
    case Kind::kClosed:
        if (!quiet_)
            Line(out_, event, DeviceLabel(event.device) + " " + text);
        break;
    case Kind::kToggleSent:
        if (!quiet_)
            Line(out_, event, "toggle sent to " + std::to_string(event.device.nSerial));
        break;
    case Kind::kNotReading: Line(out_, event, DeviceLabel(event.device) + " does not read; closed"); break;
    case Kind::kStats: Line(out_, event, "stats: " + text); break;
    case Kind::kDeviceListed: {
        const char* model = ModelName(event.device.nDeviceType);
        std::fprintf(out_, "%.*s %s %d\n", static_cast<int>(event.peer.size()), event.peer.data(),
                     model ? model : "unknown device", event.device.nSerial);
        break;
    }
    case Kind::kListed: std::fprintf(out_, "%s connected\n", report::Count(event.count, "device").c_str()); break;
    case Kind::kTrouble: Line(err_, event, text); break;
    case Kind::kRefused: std::fprintf(err_, "%s\n", text.c_str()); break;
    case Kind::kStopped: Line(out_, event, "stopped"); break;
    }
}

}  // namespace mimicbox::server
