// The points of a table profile from CSV text of "seconds,value" rows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/sim/Profile.h"

namespace mimicbox::sim {

// Rows of two finite numbers separated by a comma, seconds from 0 and strictly rising; blank lines
// and lines starting with '#' are skipped, and so is a first other line that is not numbers (a header).
// False with "line N: what is wrong" on any other line, or when no row is left.
bool ParseCsvTable(std::string_view text, std::vector<TablePoint>& points, std::string& error);

}  // namespace mimicbox::sim
