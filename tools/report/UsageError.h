// CLI11's parse failures in the programs' own words where they have a common cause: an option
// without its value, an unknown option, a stray argument.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace mimicbox::report {

inline std::string UsageErrorText(const CLI::ParseError& failure, const CLI::App& app)
{
    const std::string what = failure.what();
    if (failure.get_name() == "ArgumentMismatch" && what.find("missing") != std::string::npos)
        return what.substr(0, what.find(':')) + " needs a value";
    const std::vector<std::string> extra = app.remaining();
    if (!extra.empty())
        return (extra[0].rfind("-", 0) == 0 ? "unknown option '" : "unexpected argument '") + extra[0] + "'";
    return what;
}

}  // namespace mimicbox::report
