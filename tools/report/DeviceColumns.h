// The report's device table as columns, one array per field, so that a million devices make a small
// page: the same values of neighbours compress to almost nothing. The page turns the columns back
// into rows.
#pragma once

#include <string>

#include "tools/report/HtmlReport.h"

namespace mimicbox::report {

// {"model":["thermo",...],"serial":[3,...],"state":[...],"value":[...],"profile":[...],
// "reports_sent":[...],"commands_received":[...],"lateness_p99_ms":[...],"connects":[...],
// "missed":[...],"last_report_age":[...]}: the value is the temperature, or the switch as 0 or 1; the
// profile and the last report's age (seconds before the end) are null where not known.
std::string DeviceColumns(const RunRecord& run);

}  // namespace mimicbox::report
