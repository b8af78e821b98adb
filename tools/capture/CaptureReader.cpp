#include "tools/capture/CaptureReader.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "tools/report/ByteText.h"
#include "tools/scenario/TextFile.h"

namespace mimicbox::capture {

namespace {

using Json = nlohmann::json;

// A capture of a busy plant over hours is large, but not this large: beyond it, a wrong file.
constexpr std::size_t kLargestCapture = std::size_t{1} << 30;

bool Number(const Json& json, const char* key, double& value)
{
    const auto found = json.find(key);
    if (found == json.end() || !found->is_number())
        return false;
    value = found->get<double>();
    return std::isfinite(value);
}

// Milliseconds of the calendar, where given and sane; a wrong one is no reason to refuse a capture.
int64_t Millis(const Json& json, const char* key)
{
    double value = 0;
    return Number(json, key, value) && std::fabs(value) < 9e15 ? static_cast<int64_t>(value) : 0;
}

bool Text(const Json& json, const char* key, std::string& value)
{
    const auto found = json.find(key);
    if (found == json.end() || !found->is_string())
        return false;
    value = found->get<std::string>();
    return true;
}

bool ParseHeader(const Json& json, CaptureHeader& header, std::string& why)
{
    std::string kind;
    double version = 0;
    if (!json.is_object() || !Text(json, "capture", kind) || kind != "mimicbox" || !Number(json, "version", version)) {
        why = "not a Mimicbox capture: the first line must be {\"capture\": \"mimicbox\", \"version\": 1, ...}";
        return false;
    }
    if (version != kVersion) {
        why = "unknown capture version " + json["version"].dump() + " (this reads version " + std::to_string(kVersion) + ")";
        return false;
    }
    Text(json, "source", header.source);
    Text(json, "server", header.server);
    header.startWall = Millis(json, "start_wall");
    return true;
}

bool ParseSide(const Json& json, CaptureEvent& event, std::string& why)
{
    std::string from;
    if (!Text(json, "from", from) || (from != "device" && from != "server")) {
        why = "\"from\" must be \"device\" or \"server\"";
        return false;
    }
    event.from = from == "device" ? Side::kDevice : Side::kServer;
    return true;
}

bool ParseEvent(const Json& json, CaptureEvent& event, std::string& why)
{
    std::string kind;
    double conn = -1;
    // Up to some thirty years: beyond them, no clock of a replay could hold the time.
    if (!json.is_object() || !Number(json, "t", event.t) || event.t < 0 || event.t > 1e9) {
        why = "an event needs \"t\", seconds from the start, at most 1e9";
        return false;
    }
    if (!Number(json, "conn", conn) || conn < 0 || conn != std::floor(conn) || conn > 9e15) {
        why = "an event needs \"conn\", the connection's number";
        return false;
    }
    event.conn = static_cast<uint64_t>(conn);
    if (!Text(json, "event", kind) || !KindFromName(kind, event.kind)) {
        why = "unknown event " + (json.contains("event") ? json["event"].dump() : std::string("(none)"));
        return false;
    }
    event.wall = Millis(json, "wall");
    Text(json, "peer", event.peer);
    Text(json, "reason", event.reason);
    const bool sided = event.kind == CaptureKind::kData || event.kind == CaptureKind::kHalfClose ||
                       event.kind == CaptureKind::kReset;
    if (sided && !ParseSide(json, event, why))
        return false;
    std::string text;
    if (event.kind == CaptureKind::kData && (!Text(json, "bytes", text) || !report::Utf8ToLatin1(text, event.bytes))) {
        why = "\"bytes\" must be a string of code points up to U+00FF, one for each byte";
        return false;
    }
    return true;
}

}  // namespace

bool ParseCapture(std::string_view text, std::string_view name, Capture& capture, std::string& error)
{
    capture = {};
    std::size_t lineNumber = 0;
    double last = 0;
    const auto fail = [&](const std::string& why) {
        error = std::string(name) + ":" + std::to_string(lineNumber) + ": " + why;
        return false;
    };
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        ++lineNumber;
        if (line.find_first_not_of(" \t\r") == std::string_view::npos)
            continue;
        const Json json = Json::parse(line, nullptr, false);
        if (json.is_discarded())
            return fail("not JSON: a capture has one JSON object a line");
        std::string why;
        if (lineNumber == 1) {
            if (!ParseHeader(json, capture.header, why))
                return fail(why);
            continue;
        }
        CaptureEvent event;
        if (!ParseEvent(json, event, why))
            return fail(why);
        if (event.t < last)
            return fail("time runs backwards: " + json["t"].dump() + " s after " + std::to_string(last) + " s");
        last = event.t;
        capture.events.push_back(std::move(event));
    }
    if (lineNumber == 0) {
        lineNumber = 1;
        return fail("empty: not a Mimicbox capture");
    }
    return true;
}

bool ReadCapture(const std::string& path, Capture& capture, std::string& error)
{
    std::string text;
    if (!scenario::ReadTextFile(path, text, error, kLargestCapture)) {
        error = path + ": " + error;
        return false;
    }
    return ParseCapture(text, path, capture, error);
}

}  // namespace mimicbox::capture
