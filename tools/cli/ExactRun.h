// mimicbox-cli in exact replay: the capture's connections played byte for byte against the server,
// instead of a plant.
#pragma once

#include "tools/cli/CliOptions.h"

namespace mimicbox::cli {

// The exit status: 0; 1 when a connection could not be made; 3 when the server's commands differ
// from the recording's under same_commands_as_recording.
int RunExactReplay(const CliOptions& options);

}  // namespace mimicbox::cli
