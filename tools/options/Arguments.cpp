#include "tools/options/Arguments.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>

#include "tools/options/HelpText.h"

namespace mimicbox::options {

namespace {

std::string UsageErrorText(const CLI::ParseError& failure, const CLI::App& app)
{
    const std::string what = failure.what();
    if (failure.get_name() == "ArgumentMismatch" && what.find("missing") != std::string::npos)
        return what.substr(0, what.find(':')) + " needs a value";
    const std::vector<std::string> extra = app.remaining();
    if (!extra.empty())
        return (extra[0].rfind("-", 0) == 0 ? "unknown option '" : "unexpected argument '") + extra[0] + "'";
    return what;
}

}  // namespace

bool ParseArguments(CLI::App& app, int argc, const char* const* argv, std::string& error)
{
    std::vector<std::string> args(argv, argv + argc);
    std::reverse(args.begin(), args.end());
    try {
        app.parse(args);
    } catch (const CLI::ParseError& failure) {
        error = UsageErrorText(failure, app);
        return false;
    }
    return true;
}

std::string Usage(const CLI::App& app) { return WrapHelp(app.help()); }

bool ParseWhole(std::string_view text, long long low, long long high, long long& value)
{
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc{} && result.ptr == text.data() + text.size() && value >= low && value <= high;
}

bool ParseNumber(std::string_view text, double& value)
{
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc{} && result.ptr == text.data() + text.size() && std::isfinite(value);
}

bool ParseSeconds(std::string_view text, bool allowZero, double& seconds)
{
    return ParseNumber(text, seconds) && (seconds > 0 || (allowZero && seconds == 0)) && seconds < 1e9;
}

bool BadValue(std::string& error, std::string_view value, std::string_view option, std::string_view expected)
{
    error = "bad value '" + std::string(value) + "' for " + std::string(option) + " (" + std::string(expected) + ")";
    return false;
}

bool ParseSubcommand(CLI::App& app, int argc, const char* const* argv, bool& help, std::string& error)
{
    for (int i = 0; i < argc; ++i)
        if (std::string_view(argv[i]) == "--help" || std::string_view(argv[i]) == "-h") {
            help = true;
            return true;
        }
    return ParseArguments(app, argc, argv, error);
}

}  // namespace mimicbox::options
