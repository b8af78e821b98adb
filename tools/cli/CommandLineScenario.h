// What the command line says that a scenario could say (devices, their temperature and steps, the
// server, how long the run lasts), as a sim::Scenario of its own, checked by the same rules as a file.
#pragma once

#include <string>

#include "tools/cli/TypedOptions.h"
#include "tools/sim/Scenario.h"
#include "tools/sim/Validate.h"

namespace mimicbox::cli {

// Only what was given goes in; false with the usage error of a value that is not even of its type
// ("bad value '21,5' for --temperature (must be a number)").
bool CommandLineScenario(const Typed& typed, sim::Scenario& scenario, std::string& error);

// A problem of that scenario as the usage error of the option it came from.
std::string UsageOf(const Typed& typed, const sim::Problem& problem);

}  // namespace mimicbox::cli
