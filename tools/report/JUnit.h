// The verdict for CI systems: JUnit XML with one test case per device and expectation.
#pragma once

#include <string>
#include <vector>

#include "tools/sim/Verdict.h"

namespace mimicbox::report {

// A <testsuites> document with one <testsuite> named `suite`; each result is a <testcase> whose
// class is the device, with a <failure> when it did not hold.
std::string JUnitXml(const std::vector<sim::VerdictResult>& results, const std::string& suite, double seconds);

// The verdict for the text summary: a line for each failure ("expect relay:1005 connection kept:
// FAILED (lost)"), for each pass too when `passes`, and then the tally; a thousand devices that
// held are one line, not a thousand.
std::string VerdictLines(const std::vector<sim::VerdictResult>& results, bool passes = false);

}  // namespace mimicbox::report
