#include "tools/report/HtmlReport.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "tools/control/web/WebAssets.h"
#include "tools/report/HistoryJson.h"
#include "tools/report/JsonLinesSink.h"
#include "tools/sim/Device.h"

namespace mimicbox::report {

namespace {

// Event kinds listed by name; the rest are counted together.
constexpr std::size_t kListedKinds = 20;

double Rounded(double value, double unit) { return std::round(value / unit) * unit; }

const char* EndState(const sim::DeviceStats& stats)
{
    if (stats.removed)
        return "removed";
    if (stats.gaveUp)
        return "gave up";
    return stats.connects == 0 ? "never connected" : "ran";
}

nlohmann::ordered_json Devices(const RunRecord& run)
{
    nlohmann::ordered_json devices = nlohmann::ordered_json::array();
    const auto& all = run.summary.Devices();
    for (std::size_t i = 0; i < all.size(); ++i) {
        const sim::DeviceStats& stats = all[i];
        const bool thermo = stats.identity.nDeviceType == TYPE_THERMO;
        const double last = run.history.LastValue(i);
        nlohmann::ordered_json row = {
            {"name", sim::DeviceName(stats.identity)},
            {"model", thermo ? "thermo" : "relay"},
            {"serial", stats.identity.nSerial},
            {"state", EndState(stats)},
        };
        if (thermo)
            row["temperature"] = Rounded(last, 1e-4);
        else
            row["switch"] = last != 0 ? "on" : "off";
        row["reports_sent"] = stats.reports;
        row["commands_received"] = stats.commands;
        row["lateness_p99_ms"] = Rounded(sim::ToMilliseconds(stats.lateness.Percentile(0.99)), 1e-3);
        row["connects"] = stats.connects;
        row["missed"] = stats.missed;
        devices.push_back(std::move(row));
    }
    return devices;
}

nlohmann::ordered_json Verdicts(const std::vector<sim::VerdictResult>& verdicts)
{
    std::vector<sim::VerdictResult> sorted = verdicts;
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return !a.passed && b.passed; });
    nlohmann::ordered_json json = nlohmann::ordered_json::array();
    for (const sim::VerdictResult& result : sorted)
        json.push_back({{"device", result.device}, {"expectation", result.name}, {"passed", result.passed}, {"detail", result.detail}});
    return json;
}

nlohmann::ordered_json Events(const EventTally& tally)
{
    const auto kinds = tally.Kinds();
    nlohmann::ordered_json listed = nlohmann::ordered_json::array();
    uint64_t others = tally.Untold();
    std::size_t otherKinds = tally.Untold() > 0 ? 1 : 0;
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        if (i < kListedKinds) {
            listed.push_back({{"kind", kinds[i].first}, {"count", kinds[i].second}});
        } else {
            others += kinds[i].second;
            ++otherKinds;
        }
    }
    return {{"listed", listed}, {"others", others}, {"other_kinds", otherKinds}};
}

nlohmann::ordered_json Faults(const std::vector<SeriesPoint>& series)
{
    nlohmann::ordered_json faults = nlohmann::ordered_json::object();
    for (std::size_t kind = 0; kind < kFaultKindCount; ++kind) {
        uint64_t count = 0;
        for (const SeriesPoint& point : series)
            count += point.faults[kind];
        if (count > 0)
            faults[sim::FaultKindName(static_cast<sim::FaultKind>(kind))] = count;
    }
    return faults;
}

// Text that goes inside a <script> element must not close it.
std::string ScriptSafe(std::string_view text)
{
    std::string safe;
    safe.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '<' && i + 1 < text.size() && text[i + 1] == '/')
            safe += "<\\";
        else
            safe += text[i];
    }
    return safe;
}

// JSON inside a <script> element: every '<' as an escape, which no HTML parser reads as markup.
std::string JsonInScript(const std::string& json)
{
    std::string safe;
    safe.reserve(json.size());
    for (const char c : json) {
        if (c == '<')
            safe += "\\u003c";
        else
            safe += c;
    }
    return safe;
}

std::string Asset(std::string_view name)
{
    const control::web::WebAsset* asset = control::web::FindWebAsset(name);
    return asset ? std::string(asset->bytes) : std::string();
}

void Fill(std::string& page, std::string_view marker, const std::string& text)
{
    const std::size_t at = page.find(marker);
    if (at != std::string::npos)
        page.replace(at, marker.size(), text);
}

}  // namespace

std::string ReportJson(const ReportFacts& facts, const RunRecord& run)
{
    const std::vector<SeriesPoint> series = run.history.Series();
    nlohmann::ordered_json json = {
        {"command_line", facts.commandLine},
        {"runs", facts.runs},
        {"scenario", facts.scenario},
        {"start", IsoTime(facts.startMillis)},
        {"end", IsoTime(facts.endMillis)},
        {"duration", Rounded(static_cast<double>(facts.endMillis - facts.startMillis) / 1000.0, 1e-3)},
    };
    json["seed"] = facts.seed ? nlohmann::ordered_json(*facts.seed) : nlohmann::ordered_json(nullptr);
    json["verdicts"] = Verdicts(run.verdicts);
    json["series"] = nlohmann::ordered_json::parse(SeriesJson(series));
    json["faults"] = Faults(series);
    json["events"] = Events(run.tally);
    json["devices"] = Devices(run);
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string HtmlReport(const ReportFacts& facts, const RunRecord& run)
{
    std::string page = Asset("report.html");
    Fill(page, "<!--STYLE-->", "<style>\n" + Asset("/assets/style.css") + "</style>");
    std::string scripts;
    for (const char* name : {"/assets/chart.js", "/assets/common.js", "/assets/report.js"})
        scripts += "<script>\n" + ScriptSafe(Asset(name)) + "\n</script>\n";
    // The scripts before the data: they hold no marker, while the data may hold any text.
    Fill(page, "<!--SCRIPTS-->", scripts);
    Fill(page, "<!--DATA-->", "<script type=\"application/json\" id=\"data\">" + JsonInScript(ReportJson(facts, run)) + "</script>");
    return page;
}

}  // namespace mimicbox::report
