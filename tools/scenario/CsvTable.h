// The points of a table profile from a CSV file of "seconds,value" rows.
#pragma once

#include <string>
#include <vector>

#include "tools/sim/Profile.h"

namespace mimicbox::scenario {

// Reads the file and parses it as sim::ParseCsvTable does; false with a message when it cannot be
// read or does not parse.
bool ReadCsvTable(const std::string& path, std::vector<sim::TablePoint>& points, std::string& error);

}  // namespace mimicbox::scenario
