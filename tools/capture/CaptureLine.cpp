#include "tools/capture/CaptureLine.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "tools/report/ByteText.h"
#include "tools/report/RecordDecoder.h"
#include "core/DeviceModel.h"
#include "link/Record.h"

namespace mimicbox::capture {

namespace {

using LineJson = nlohmann::ordered_json;

LineJson RecordJson(std::string_view record)
{
    const report::RecordCheck check = report::CheckRecord(record);
    if (!check.readable)
        return {{"unreadable", check.problem}};
    LineJson json = {{"model", check.deviceType == TYPE_THERMO ? "thermo" : check.deviceType == TYPE_RELAY ? "relay" : "other"},
                 {"serial", check.serial},
                 {"command", check.command}};
    if (check.command == CMD_REPORT) {
        json["clock"] = check.clock;
        if (check.deviceType == TYPE_THERMO)
            json["temperature"] = std::string(check.temperature);
        else
            json["switch"] = check.switchState ? "on" : "off";
    }
    return json;
}

std::string Dump(const LineJson& json) { return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n"; }

}  // namespace

std::string HeaderLine(const CaptureHeader& header)
{
    return Dump({{"capture", "mimicbox"}, {"version", kVersion}, {"source", header.source}, {"server", header.server},
                 {"start_wall", header.startWall}});
}

std::string EventLine(const CaptureEvent& event, const std::vector<std::string_view>& records)
{
    // Microseconds are what a capture can tell apart.
    LineJson json = {{"t", std::round(event.t * 1e6) / 1e6}, {"wall", event.wall}, {"conn", event.conn},
                 {"peer", event.peer}, {"event", KindName(event.kind)}};
    if (event.kind == CaptureKind::kData || event.kind == CaptureKind::kHalfClose || event.kind == CaptureKind::kReset)
        json["from"] = SideName(event.from);
    if (event.kind == CaptureKind::kData) {
        json["bytes"] = report::Latin1ToUtf8(event.bytes);
        LineJson decoded = LineJson::array();
        for (const std::string_view record : records)
            decoded.push_back(RecordJson(record));
        json["records"] = std::move(decoded);
    }
    if (!event.reason.empty())
        json["reason"] = event.reason;
    return Dump(json);
}

}  // namespace mimicbox::capture
