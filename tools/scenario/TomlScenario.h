// A scenario's TOML, mapped onto the plain structs of sim::Scenario: types only, the rules are
// Validate's. It keeps where each value stands, so that a problem found later is located in the file.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "tools/scenario/TomlShield.h"
#include "tools/sim/Scenario.h"
#include "tools/sim/Validate.h"

namespace mimicbox::scenario {

// Where the value of each path stands in the file.
class Locations {
public:
    void Set(const std::string& path, TextPosition position) { positions_[path] = position; }
    // The position of the path, or of the nearest table around it that has one.
    TextPosition Of(std::string path) const;

private:
    std::map<std::string, TextPosition> positions_;
};

// Parses the text (already shielded) and maps it onto `scenario`: false with "FILE:LINE:COLUMN: not
// TOML: ..." when it does not parse; values of the wrong type and unknown keys are `problems`.
bool ReadTomlScenario(std::string_view text, const std::string& fileName, sim::Scenario& scenario,
                      Locations& locations, sim::Problems& problems, std::string& error);

}  // namespace mimicbox::scenario
