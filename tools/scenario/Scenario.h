// Scenario files: TOML read into the plain structs of sim::Scenario, checked by its rules, and
// planned into what the plant runs, with every fault located in the file. Loaded whole before
// anything connects.
#pragma once

#include <string>
#include <string_view>

#include "tools/scenario/TomlScenario.h"
#include "tools/sim/ScenarioPlan.h"

namespace mimicbox::scenario {

// A scenario file as written, and where each of its values stands.
struct ScenarioFile {
    std::string name;       // in messages
    std::string directory;  // where relative CSV files are read from
    std::string text;       // as read, for the run's report
    sim::Scenario scenario;
    Locations locations;
};

// Reads the text into `file`. False with the message(s) when it is not TOML, or holds a value of the
// wrong type or an unknown key: "FILE:LINE:COLUMN: PATH: what is wrong", one a line.
bool ReadScenarioText(std::string_view text, ScenarioFile& file, std::string& error);
// The same for the file at `path`; false also when it cannot be read, and why.
bool ReadScenarioFile(const std::string& path, ScenarioFile& file, std::string& error);

// "FILE:LINE:COLUMN: PATH: what is wrong" for each problem, one a line.
std::string LocatedProblems(const ScenarioFile& file, const sim::Problems& problems);

// Checks the scenario by its rules and plans it, reading its CSV files; false with every fault,
// located, one a line.
bool PlanScenarioFile(const ScenarioFile& file, sim::ScenarioPlan& plan, std::string& error);

// All of the above for a text or a file: read, checked and planned.
bool ParseScenario(std::string_view text, const std::string& fileName, const std::string& directory,
                   sim::ScenarioPlan& plan, std::string& error);
bool LoadScenario(const std::string& path, sim::ScenarioPlan& plan, std::string& error);

}  // namespace mimicbox::scenario
