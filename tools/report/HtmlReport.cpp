#include "tools/report/HtmlReport.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "tools/control/web/WebAssets.h"
#include "tools/report/DeviceColumns.h"
#include "tools/report/HistoryJson.h"
#include "tools/report/JsonLinesSink.h"
#include "tools/report/Packed.h"
#include "tools/report/Text.h"
#include "tools/report/VerdictGroups.h"
#include "tools/sim/Device.h"

namespace mimicbox::report {

namespace {

// Event kinds listed by name; the rest are counted together.
constexpr std::size_t kListedKinds = 20;

// One row per expectation with its counts, failures first, each listing its first failing devices:
// a plant of a million devices has a verdict of a few rows.
nlohmann::ordered_json Verdicts(const std::vector<sim::VerdictResult>& verdicts)
{
    nlohmann::ordered_json json = nlohmann::ordered_json::array();
    for (const VerdictGroup& group : GroupVerdicts(verdicts)) {
        nlohmann::ordered_json failures = nlohmann::ordered_json::array();
        for (const auto& [device, detail] : group.failures)
            failures.push_back({{"device", device}, {"detail", detail}});
        json.push_back({{"expectation", group.name}, {"held", group.held}, {"failed", group.failed}, {"failures", failures}});
    }
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
        {"duration", RoundTo(static_cast<double>(facts.endMillis - facts.startMillis) / 1000.0, 1e-3)},
    };
    json["seed"] = facts.seed ? nlohmann::ordered_json(*facts.seed) : nlohmann::ordered_json(nullptr);
    json["verdicts"] = Verdicts(run.verdicts);
    json["device_count"] = run.summary.Devices().size();
    json["series"] = nlohmann::ordered_json::parse(SeriesJson(series));
    json["faults"] = Faults(series);
    json["events"] = Events(run.tally);
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string HtmlReport(const ReportFacts& facts, const RunRecord& run)
{
    // The page with its styles and scripts is the same for every report: made once.
    static const std::string kTemplate = [] {
        std::string page = Asset("report.html");
        Fill(page, "<!--STYLE-->", "<style>\n" + Asset("/assets/style.css") + "</style>");
        std::string scripts;
        for (const char* name : {"/assets/chart.js", "/assets/common.js", "/assets/report.js"})
            scripts += "<script>\n" + ScriptSafe(Asset(name)) + "\n</script>\n";
        // The scripts before the data: they hold no marker, while the data may hold any text.
        Fill(page, "<!--SCRIPTS-->", scripts);
        return page;
    }();
    std::string page = kTemplate;
    // The devices packed apart: base64 holds no '<', and the page unpacks them as it opens.
    Fill(page, "<!--DATA-->", "<script type=\"application/json\" id=\"data\">" + JsonInScript(ReportJson(facts, run)) +
                                 "</script>\n<script type=\"application/octet-stream\" id=\"devices\">" +
                                 GzipBase64(DeviceColumns(run)) + "</script>");
    return page;
}

}  // namespace mimicbox::report
