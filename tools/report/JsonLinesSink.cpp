#include "tools/report/JsonLinesSink.h"

#include <ctime>
#include <nlohmann/json.hpp>

#include "tools/report/ByteText.h"
#include "tools/sim/Device.h"

namespace mimicbox::report {

namespace {

// Seconds to the microsecond: "3.004462", not "3.0044619360000002".
double Seconds(sim::Nanos duration)
{
    return static_cast<double>(std::chrono::round<std::chrono::microseconds>(duration).count()) / 1e6;
}

const char* EventName(sim::EventKind kind)
{
    switch (kind) {
    case sim::EventKind::kConnected:
        return "connected";
    case sim::EventKind::kConnectFailed:
        return "connect-failed";
    case sim::EventKind::kLost:
    case sim::EventKind::kStopped:
    case sim::EventKind::kClosed:
        return "closed";
    case sim::EventKind::kAction:
        return "event";
    case sim::EventKind::kSent:
        return "sent";
    case sim::EventKind::kReceived:
        return "received";
    case sim::EventKind::kGaveUp:
        return "gave-up";
    case sim::EventKind::kAdded:
        return "added";
    case sim::EventKind::kRemoved:
        return "removed";
    }
    return "event";
}

}  // namespace

std::string IsoTime(int64_t calendarMillis)
{
    const std::time_t seconds = static_cast<std::time_t>(calendarMillis / 1000);
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char text[40];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(text + length, sizeof text - length, ".%03dZ", static_cast<int>(calendarMillis % 1000));
    return text;
}

JsonLinesSink::JsonLinesSink(std::FILE* out, sim::Instant start) : out_(out), start_(start) {}

void JsonLinesSink::OnEvent(const sim::Event& event)
{
    const std::string line = Line(event);
    std::fprintf(out_, "%s\n", line.c_str());
}

std::string JsonLinesSink::Line(const sim::Event& event) const
{
    nlohmann::ordered_json object;
    object["t"] = Seconds(event.time - start_);
    object["time"] = IsoTime(event.calendarMillis);
    object["device"] = sim::DeviceName(event.identity);
    object["event"] = EventName(event.kind);
    switch (event.kind) {
    case sim::EventKind::kSent:
        object["record"] = Latin1ToUtf8(event.record);
        object["scheduled"] = Seconds(event.scheduled - start_);
        object["lateness"] = Seconds(event.lateness);
        if (event.fault)
            object["fault"] = event.fault;
        if (event.faultTable > 0)
            object["fault_table"] = event.faultTable;
        if (event.liveFault > 0)
            object["live_fault"] = event.liveFault;
        break;
    case sim::EventKind::kReceived:
        object["record"] = Latin1ToUtf8(event.record);
        object["read"] = event.read;
        if (event.dropped)
            object["dropped"] = true;
        object["toggled"] = event.toggled;
        break;
    case sim::EventKind::kLost:
    case sim::EventKind::kConnectFailed:
    case sim::EventKind::kClosed:
        object["reason"] = Latin1ToUtf8(event.reason);
        break;
    case sim::EventKind::kAction:
        object["action"] = event.action;
        if (event.profile)
            object["profile"] = event.profile;
        if (!event.reason.empty())
            object["reason"] = Latin1ToUtf8(event.reason);
        break;
    case sim::EventKind::kStopped:
        object["reason"] = "stopped";
        break;
    case sim::EventKind::kConnected:
    case sim::EventKind::kGaveUp:
    case sim::EventKind::kAdded:
    case sim::EventKind::kRemoved:
        break;
    }
    return object.dump(-1, ' ', true);
}

}  // namespace mimicbox::report
