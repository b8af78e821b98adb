// The checks the scenario's rules are made of: each adds a problem at the path of its value. For the
// rules' own files only.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "tools/sim/Validate.h"

namespace mimicbox::sim {

// The bound of a value that may be any number: what a scenario cannot mean otherwise.
constexpr double kAnyNumber = 1e9;

class Check {
public:
    Check(Problems& problems, std::string path) : problems_(problems), path_(std::move(path)) {}

    // The path of `key` in this table, and of the table itself for an empty key.
    std::string At(std::string_view key) const;
    Check Table(std::string_view key) const { return Check(problems_, At(key)); }
    // False, after adding the problem.
    bool Fail(std::string_view key, std::string message) const;
    // When given, the value lies within [low, high].
    bool Range(std::string_view key, const std::optional<double>& value, double low, double high) const;
    bool Whole(std::string_view key, const std::optional<int64_t>& value, int64_t low, int64_t high) const;
    // A value that must be given.
    bool Needed(std::string_view key, bool given, std::string_view what) const;
    // A value that may not be given here.
    bool Absent(std::string_view key, bool given, std::string_view why = "unknown key") const;

    Problems& All() const { return problems_; }
    std::size_t Count() const { return problems_.size(); }

private:
    Problems& problems_;
    std::string path_;
};

}  // namespace mimicbox::sim
