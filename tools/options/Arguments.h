// What both programs share in reading their command lines with CLI11: the parse itself with its
// failures in the programs' own words, the wrapped --help text, and the checks of numbers.
#pragma once

#include <string>
#include <string_view>

namespace CLI {
class App;
}

namespace mimicbox::options {

// Parses the arguments after the program name. False with a message for the common causes in the
// programs' own words: an option without its value, an unknown option, a stray argument.
bool ParseArguments(CLI::App& app, int argc, const char* const* argv, std::string& error);
// The same for a subcommand, whose required arguments --help does without: true with `help` set
// when --help or -h is among them.
bool ParseSubcommand(CLI::App& app, int argc, const char* const* argv, bool& help, std::string& error);

// The --help text, wrapped to 80 columns.
std::string Usage(const CLI::App& app);

// A whole number from `low` to `high`, and nothing else.
bool ParseWhole(std::string_view text, long long low, long long high, long long& value);
// A finite number, and nothing else.
bool ParseNumber(std::string_view text, double& value);
// A finite number of seconds below 1e9, above 0 (or 0 too when allowed).
bool ParseSeconds(std::string_view text, bool allowZero, double& seconds);

// "bad value 'TEXT' for OPTION (EXPECTED)", and false.
bool BadValue(std::string& error, std::string_view value, std::string_view option, std::string_view expected);

}  // namespace mimicbox::options
