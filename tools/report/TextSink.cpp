#include "tools/report/TextSink.h"

#include "tools/report/Text.h"
#include "tools/sim/Device.h"

namespace mimicbox::report {

TextSink::TextSink(std::FILE* out, std::FILE* err, std::string server, bool quiet)
    : out_(out), err_(err), server_(std::move(server)), quiet_(quiet)
{
}

void TextSink::OnEvent(const sim::Event& event)
{
    using sim::EventKind;
    const bool failure = event.kind == EventKind::kConnectFailed || event.kind == EventKind::kLost;
    if (quiet_ && !failure)
        return;
    const std::string time = LocalTimestamp(event.calendarMillis);
    const std::string name = sim::DeviceName(event.identity);
    switch (event.kind) {
    case EventKind::kConnected:
        std::fprintf(out_, "%s %s connected to %s\n", time.c_str(), name.c_str(), server_.c_str());
        break;
    case EventKind::kSent:
        std::fprintf(out_, "%s %s -> %s%s%s\n", time.c_str(), name.c_str(), EscapeBytes(event.record).c_str(),
                     event.fault ? "  fault: " : "", event.fault ? event.fault : "");
        break;
    case EventKind::kReceived:
        std::fprintf(out_, "%s %s <- %s%s\n", time.c_str(), name.c_str(), EscapeBytes(event.record).c_str(),
                     event.read ? "" : event.dropped ? "  (dropped after an unreadable record)" : "  (unreadable)");
        break;
    case EventKind::kConnectFailed:
    case EventKind::kLost:
        std::fprintf(err_, "%s %s: %.*s\n", time.c_str(), name.c_str(), static_cast<int>(event.reason.size()),
                     event.reason.data());
        break;
    case EventKind::kAction:
        std::fprintf(out_, "%s %s %s%s%.*s\n", time.c_str(), name.c_str(), event.action, event.reason.empty() ? "" : ": ",
                     static_cast<int>(event.reason.size()), event.reason.data());
        break;
    case EventKind::kClosed:
        std::fprintf(out_, "%s %s closed (%.*s)\n", time.c_str(), name.c_str(), static_cast<int>(event.reason.size()),
                     event.reason.data());
        break;
    case EventKind::kAdded:
        std::fprintf(out_, "%s %s added\n", time.c_str(), name.c_str());
        break;
    case EventKind::kRemoved:
        std::fprintf(out_, "%s %s removed\n", time.c_str(), name.c_str());
        break;
    case EventKind::kStopped:
    case EventKind::kGaveUp: break;
    }
}

}  // namespace mimicbox::report
