#include "tools/report/HistoryJson.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>

#include "tools/report/ByteText.h"

namespace mimicbox::report {

namespace {

template <typename Field>
nlohmann::json Column(const std::vector<SeriesPoint>& series, Field field)
{
    nlohmann::json column = nlohmann::json::array();
    for (const SeriesPoint& point : series)
        column.push_back(field(point));
    return column;
}

// Milliseconds to the microsecond: enough, and short on the wire.
double Rounded(float ms) { return std::round(static_cast<double>(ms) * 1000.0) / 1000.0; }

}  // namespace

std::string SeriesJson(const std::vector<SeriesPoint>& series)
{
    nlohmann::ordered_json json;
    json["second"] = Column(series, [](const SeriesPoint& p) { return p.second; });
    json["width"] = Column(series, [](const SeriesPoint& p) { return p.width; });
    json["connected"] = Column(series, [](const SeriesPoint& p) { return p.connected; });
    json["sent"] = Column(series, [](const SeriesPoint& p) { return p.sent; });
    json["commands"] = Column(series, [](const SeriesPoint& p) { return p.commands; });
    json["disconnects"] = Column(series, [](const SeriesPoint& p) { return p.disconnects; });
    json["reconnects"] = Column(series, [](const SeriesPoint& p) { return p.reconnects; });
    json["p50"] = Column(series, [](const SeriesPoint& p) { return Rounded(p.p50); });
    json["p99"] = Column(series, [](const SeriesPoint& p) { return Rounded(p.p99); });
    json["max"] = Column(series, [](const SeriesPoint& p) { return Rounded(p.max); });
    nlohmann::ordered_json faults = nlohmann::ordered_json::object();
    for (std::size_t kind = 0; kind < kFaultKindCount; ++kind) {
        const bool fired = std::any_of(series.begin(), series.end(), [kind](const SeriesPoint& p) { return p.faults[kind] > 0; });
        if (fired)
            faults[sim::FaultKindName(static_cast<sim::FaultKind>(kind))] =
                Column(series, [kind](const SeriesPoint& p) { return p.faults[kind]; });
    }
    json["faults"] = std::move(faults);
    return json.dump();
}

std::string ReportsJson(const std::vector<ReportSample>& reports)
{
    nlohmann::ordered_json json = nlohmann::ordered_json::array();
    for (const ReportSample& report : reports) {
        nlohmann::ordered_json one;
        one["t"] = std::round(report.time * 1000.0) / 1000.0;
        one["value"] = std::round(static_cast<double>(report.value) * 1e4) / 1e4;
        if (!report.record.empty()) {
            std::string bytes = report.record;
            // The record's NUL, which the history does not keep, unless the fault took it away.
            if (!report.fault || std::strcmp(report.fault, "missing-nul") != 0)
                bytes.push_back('\0');
            one["bytes"] = Latin1ToUtf8(bytes);
        }
        if (report.fault)
            one["fault"] = report.fault;
        json.push_back(std::move(one));
    }
    return json.dump();
}

}  // namespace mimicbox::report
