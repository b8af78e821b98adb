#include "tools/report/SummaryJson.h"

#include <nlohmann/json.hpp>

#include "tools/report/SummaryText.h"
#include "tools/sim/Device.h"

namespace mimicbox::report {

namespace {

template <typename Histogram>
nlohmann::ordered_json Lateness(const Histogram& lateness)
{
    return {{"p50_ms", sim::ToMilliseconds(lateness.Percentile(0.5))},
            {"p99_ms", sim::ToMilliseconds(lateness.Percentile(0.99))},
            {"max_ms", sim::ToMilliseconds(lateness.Max())}};
}

nlohmann::ordered_json DeviceJson(const sim::DeviceStats& stats)
{
    nlohmann::ordered_json device = {
        {"device", sim::DeviceName(stats.identity)},
        {"reports", stats.reports},
        {"commands", stats.commands},
        {"toggles", stats.toggles},
        {"connects", stats.connects},
        {"missed_ticks", stats.missed},
        {"gave_up", stats.gaveUp},
        {"lateness", Lateness(stats.lateness)},
    };
    if (stats.intervals > 0 && stats.periodDeviation) {
        device["period"] = {{"mean_ms", stats.intervalSumMs / static_cast<double>(stats.intervals)},
                            {"p99_deviation_ms", sim::ToMilliseconds(stats.periodDeviation->Percentile(0.99))},
                            {"worst_deviation_ms", sim::ToMilliseconds(stats.periodDeviation->Max())}};
    }
    return device;
}

nlohmann::ordered_json FaultTableJson(const sim::FaultTally& tally)
{
    nlohmann::ordered_json table = {
        {"table", tally.table},
        {"kind", sim::FaultKindName(tally.rule.fault.kind)},
        {"devices", FaultDevicesText(tally.rule)},
        {"trigger", FaultTriggerText(tally.rule.fault.trigger)},
        {"fired", tally.fired},
    };
    if (tally.fired == 0)
        table["never_fired"] = tally.neverFired;
    return table;
}

nlohmann::ordered_json VerdictJson(const sim::VerdictResult& result)
{
    return {{"device", result.device}, {"expectation", result.name}, {"passed", result.passed}, {"detail", result.detail}};
}

}  // namespace

std::string SummaryJson(const sim::Summary& summary, const std::vector<sim::VerdictResult>& verdicts)
{
    nlohmann::ordered_json devices = nlohmann::ordered_json::array();
    for (const sim::DeviceStats& stats : summary.Devices())
        devices.push_back(DeviceJson(stats));
    const nlohmann::ordered_json run = {
        {"devices", summary.Devices().size()},
        {"reports", summary.Reports()},
        {"missed_ticks", summary.Missed()},
        {"faults", summary.Faults()},
        {"lateness", Lateness(summary.Lateness())},
    };
    nlohmann::ordered_json faults = nlohmann::ordered_json::array();
    for (const sim::FaultTally& tally : summary.FaultTables())
        faults.push_back(FaultTableJson(tally));
    nlohmann::ordered_json expectations = nlohmann::ordered_json::array();
    for (const sim::VerdictResult& result : verdicts)
        expectations.push_back(VerdictJson(result));
    return nlohmann::ordered_json{{"run", run}, {"devices", devices}, {"fault_tables", faults}, {"expectations", expectations}}
               .dump(
               2, ' ', false, nlohmann::json::error_handler_t::replace) +
           "\n";
}

}  // namespace mimicbox::report
