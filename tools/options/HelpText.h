// The --help text of the programs as a terminal of 80 columns shows it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mimicbox::options {

// Wraps every line longer than `width` at spaces, so that paragraphs are written as one line each.
// An indented line with a description column ("  --port N    its TCP port") goes on under its
// description; other lines at their own indent.
std::string WrapHelp(std::string_view text, std::size_t width = 80);

}  // namespace mimicbox::options
