// The history as JSON, for the dashboard's page and the HTML report: the series column by column
// (compact at thousands of points), and one device's recent reports.
#pragma once

#include <string>
#include <vector>

#include "tools/report/History.h"

namespace mimicbox::report {

// {"second": [...], "width": [...], "connected": [...], ..., "faults": {"garbage": [...], ...}}; a
// fault kind that never fired is left out.
std::string SeriesJson(const std::vector<SeriesPoint>& series);

// [{"t": 1.5, "value": 21.6, "bytes": "TolvarkControl: ...\u0000", "fault": "split"}, ...]: "bytes" as
// the device wrote them, its NUL included, each byte as a code point; left out when no longer held.
std::string ReportsJson(const std::vector<ReportSample>& reports);

}  // namespace mimicbox::report
