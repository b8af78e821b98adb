#include "tools/report/SummaryText.h"

#include "tools/report/Text.h"
#include "tools/sim/Device.h"

namespace mimicbox::report {

namespace {

template <typename Histogram>
std::string LatenessText(const Histogram& lateness, uint64_t missed)
{
    return ", lateness p50 " + FormatMs(sim::ToMilliseconds(lateness.Percentile(0.5))) + ", p99 " +
           FormatMs(sim::ToMilliseconds(lateness.Percentile(0.99))) + ", max " +
           FormatMs(sim::ToMilliseconds(lateness.Max())) + ", " + Count(missed, "missed tick");
}

}  // namespace

std::string DeviceSummaryLine(const sim::DeviceStats& stats)
{
    std::string line = sim::DeviceName(stats.identity) + ": " + Count(stats.reports, "report") + ", " +
                       Count(stats.commands, "command") + ", " + Count(stats.toggles, "toggle") + " applied";
    if (stats.intervals > 0 && stats.periodDeviation) {
        line += ", period mean " + FormatMs(stats.intervalSumMs / static_cast<double>(stats.intervals)) +
                ", p99 deviation " + FormatMs(sim::ToMilliseconds(stats.periodDeviation->Percentile(0.99))) +
                ", worst " + FormatMs(sim::ToMilliseconds(stats.periodDeviation->Max()));
    }
    if (stats.reports > 0)
        line += LatenessText(stats.lateness, stats.missed);
    if (stats.gaveUp)
        line += ", connection failed";
    else if (stats.connects == 0 && !stats.removed)
        line += ", never connected";
    return line;
}

std::string RunSummaryLine(const sim::Summary& summary)
{
    std::string line = Count(summary.Devices().size(), "device") + ": " + Count(summary.Reports(), "report") +
                       LatenessText(summary.Lateness(), summary.Missed());
    if (summary.Faults() > 0)
        line += ", " + Count(summary.Faults(), "fault");
    return line;
}

std::string FaultDevicesText(const sim::FaultRule& rule)
{
    if (rule.devices.empty())
        return "all devices";
    std::string text;
    for (const sim::DeviceRange& range : rule.devices)
        text += (text.empty() ? "" : ", ") + sim::RangeName(range);
    return text;
}

std::string FaultTriggerText(const sim::FaultTrigger& trigger)
{
    if (trigger.at)
        return "at " + FormatNumber(*trigger.at) + " s";
    if (trigger.every > 0)
        return "every " + Count(trigger.every, "report");
    return "probability " + FormatNumber(trigger.probability);
}

std::string FaultTableLine(const sim::FaultTally& tally)
{
    const std::string line = "fault[" + std::to_string(tally.table) + "] " + sim::FaultKindName(tally.rule.fault.kind) +
                             " on " + FaultDevicesText(tally.rule) + ", " + FaultTriggerText(tally.rule.fault.trigger);
    if (tally.fired == 0)
        return line + ": never fired: " + tally.neverFired;
    return line + ": fired " + Count(tally.fired, "time");
}

void WriteSummary(const sim::Summary& summary, std::FILE* out)
{
    for (const sim::DeviceStats& stats : summary.Devices())
        std::fprintf(out, "%s\n", DeviceSummaryLine(stats).c_str());
    std::fprintf(out, "%s\n", RunSummaryLine(summary).c_str());
    for (const sim::FaultTally& tally : summary.FaultTables())
        std::fprintf(out, "%s\n", FaultTableLine(tally).c_str());
}

}  // namespace mimicbox::report
