// The run's summary for machines: one JSON document with a line per device and one for the run, the
// same figures as the text summary, durations in milliseconds.
#pragma once

#include <string>

#include "tools/sim/Summary.h"

namespace mimicbox::report {

std::string SummaryJson(const sim::Summary& summary);

}  // namespace mimicbox::report
