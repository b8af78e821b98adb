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
           FormatMs(sim::ToMilliseconds(lateness.Max())) + ", " + std::to_string(missed) + " missed ticks";
}

}  // namespace

std::string DeviceSummaryLine(const sim::DeviceStats& stats)
{
    std::string line = sim::DeviceName(stats.identity) + ": " + std::to_string(stats.reports) + " reports, " +
                       std::to_string(stats.commands) + " commands, " + std::to_string(stats.toggles) + " toggles applied";
    if (stats.intervals > 0) {
        line += ", period mean " + FormatMs(stats.intervalSumMs / static_cast<double>(stats.intervals)) +
                ", p99 deviation " + FormatMs(sim::ToMilliseconds(stats.periodDeviation.Percentile(0.99))) +
                ", worst " + FormatMs(sim::ToMilliseconds(stats.periodDeviation.Max()));
    }
    if (stats.reports > 0)
        line += LatenessText(stats.lateness, stats.missed);
    if (stats.gaveUp)
        line += ", connection failed";
    return line;
}

std::string RunSummaryLine(const sim::Summary& summary)
{
    std::string line = std::to_string(summary.Devices().size()) + " devices: " + std::to_string(summary.Reports()) +
                       " reports" + LatenessText(summary.Lateness(), summary.Missed());
    if (summary.Faults() > 0)
        line += ", " + std::to_string(summary.Faults()) + " faults";
    return line;
}

void WriteSummary(const sim::Summary& summary, std::FILE* out)
{
    for (const sim::DeviceStats& stats : summary.Devices())
        std::fprintf(out, "%s\n", DeviceSummaryLine(stats).c_str());
    std::fprintf(out, "%s\n", RunSummaryLine(summary).c_str());
}

}  // namespace mimicbox::report
