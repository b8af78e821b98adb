#include "tools/sim/ValidationCheck.h"

#include <sstream>

namespace mimicbox::sim {

std::string BoundText(double value)
{
    std::ostringstream text;
    text << value;
    return text.str();
}

std::string ProblemText(const Problem& problem) { return problem.path + ": " + problem.message; }

std::string Check::At(std::string_view key) const
{
    if (key.empty())
        return path_;
    return path_.empty() ? std::string(key) : path_ + "." + std::string(key);
}

bool Check::Fail(std::string_view key, std::string message) const
{
    problems_.push_back({At(key), std::move(message)});
    return false;
}

bool Check::Range(std::string_view key, const std::optional<double>& value, double low, double high) const
{
    if (value && !(*value >= low && *value <= high))
        return Fail(key, "must lie from " + BoundText(low) + " to " + BoundText(high));
    return true;
}

bool Check::Whole(std::string_view key, const std::optional<int64_t>& value, int64_t low, int64_t high) const
{
    if (value && (*value < low || *value > high))
        return Fail(key, "must lie from " + std::to_string(low) + " to " + std::to_string(high));
    return true;
}

bool Check::Needed(std::string_view key, bool given, std::string_view what) const
{
    return given || Fail(key, "missing: " + std::string(what));
}

bool Check::Absent(std::string_view key, bool given, std::string_view why) const
{
    return !given || Fail(key, std::string(why));
}

}  // namespace mimicbox::sim
