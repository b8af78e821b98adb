// The run's summary for machines: one JSON document with a line per device and one for the run, the
// same figures as the text summary, durations in milliseconds, and the verdict on every expectation.
#pragma once

#include <string>

#include <vector>

#include "tools/sim/Summary.h"
#include "tools/sim/Verdict.h"

namespace mimicbox::report {

std::string SummaryJson(const sim::Summary& summary, const std::vector<sim::VerdictResult>& verdicts = {});

}  // namespace mimicbox::report
