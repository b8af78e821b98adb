// A capture to replay, from --replay or a scenario's [replay]: read and checked whole before anything
// connects, then played as devices of the plan (values mode) or as its connections (exact mode).
#pragma once

#include <string>

#include "tools/cli/CliOptions.h"
#include "tools/sim/ScenarioPlan.h"

namespace mimicbox::cli {

// `replay`: --replay's file, or empty; `scenario`: the scenario file's path, whose folder a relative
// capture path starts from. False with a message ("CAPTURE:LINE: what" for a bad capture).
bool ApplyReplay(const std::string& replay, const std::string& scenario, sim::ScenarioPlan& plan, CliOptions& options,
                 std::string& error);

}  // namespace mimicbox::cli
