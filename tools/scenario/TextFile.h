// Whole files of text, as scenarios and their CSV tables are read.
#pragma once

#include <string>

namespace mimicbox::scenario {

// The bytes of the file at `path`; false when it cannot be opened.
bool ReadTextFile(const std::string& path, std::string& text);

}  // namespace mimicbox::scenario
