// The line commands a terminal user types to a running mimicbox-cli, as the control API's requests:
//   list | set thermo:3 42.5 | switch relay:1005 on | drop relay:1005 | fault thermo:1 garbage |
//   add thermo:7-9 | remove thermo:7 | q
#pragma once

#include <string>
#include <string_view>

#include "tools/control/Controller.h"

namespace mimicbox::control {

// The request a line stands for. False with a usage text for a line that is none of the commands.
bool LineToRequest(std::string_view line, Request& request, std::string& error);

// The commands with a line of help each, for --help.
std::string LineCommandsHelp();

// The answer as a terminal shows it: one line per device for a list, the error alone for a failure,
// "ok" otherwise.
std::string ResponseText(const Request& request, Response response);

}  // namespace mimicbox::control
