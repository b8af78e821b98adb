// The run as one self-contained HTML file: the page, its styles, the chart library and the run's
// data all inside, so that it opens from file:// with no network, in CI artefacts and mail alike.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/report/EventTally.h"
#include "tools/report/History.h"
#include "tools/sim/Profile.h"
#include "tools/sim/Summary.h"
#include "tools/sim/Verdict.h"

namespace mimicbox::report {

struct ReportFacts {
    std::string commandLine;
    std::string runs;      // which run, or which shards of which plant
    std::string scenario;  // the scenario file's text, if there was one
    std::optional<uint64_t> seed;
    int64_t startMillis = 0;  // calendar
    int64_t endMillis = 0;
};

// What the run's sinks gathered; all must describe the same devices, in the same order.
struct RunRecord {
    const History& history;
    const sim::Summary& summary;
    const std::vector<sim::VerdictResult>& verdicts;
    const EventTally& tally;
    sim::Instant end{};                           // the run's end, on its events' clock
    std::vector<sim::ProfileKind> profiles = {};  // each device's at the end; none where not known
};

std::string HtmlReport(const ReportFacts& facts, const RunRecord& run);

// The data the report's page draws, as JSON.
std::string ReportJson(const ReportFacts& facts, const RunRecord& run);

}  // namespace mimicbox::report
