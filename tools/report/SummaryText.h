// The summary of a run as text: one line per device and one for the whole run.
#pragma once

#include <cstdio>
#include <string>

#include "tools/sim/Summary.h"

namespace mimicbox::report {

// "relay:1005: 60 reports, 2 commands, 2 toggles applied, period mean 500.00 ms, p99 deviation
// 0.41 ms, worst 0.97 ms, lateness p50 0.02 ms, p99 0.06 ms, max 0.11 ms, 0 missed ticks"
std::string DeviceSummaryLine(const sim::DeviceStats& stats);

// "32 devices: 1200 reports, lateness p50 0.02 ms, p99 0.06 ms, max 0.31 ms, 0 missed ticks"
std::string RunSummaryLine(const sim::Summary& summary);

// "fault[2] double-nul on relay:1003, at 1.2 s: fired 1 time", or with the reason it never fired.
std::string FaultTableLine(const sim::FaultTally& tally);
// "relay:1003", "thermo:1-4, thermo:9" or "all devices"; "at 1.2 s", "every 3 reports", ...
std::string FaultDevicesText(const sim::FaultRule& rule);
std::string FaultTriggerText(const sim::FaultTrigger& trigger);

// Writes every device's line, then the run's and one per [[fault]] table, to `out`.
void WriteSummary(const sim::Summary& summary, std::FILE* out);

}  // namespace mimicbox::report
