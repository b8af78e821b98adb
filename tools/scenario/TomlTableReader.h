// Reads one TOML table's values into a scenario's plain structs, with the types the schema gives
// them, keeping where each value stands and saying what is wrong where.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// toml++ 3.3 assumes that a table header's key starts with a key character, which "[=]" breaks: an
// abort with assertions on, undefined behaviour under Clang's optimiser. As a no-op, the parser goes
// on to the error it has for that case.
#include <toml++/impl/preprocessor.h>
#undef TOML_ASSERT_ASSUME
#define TOML_ASSERT_ASSUME(expr) static_assert(true)
#include <toml++/toml.h>

#include "tools/scenario/TomlScenario.h"

namespace mimicbox::scenario {

class TableReader {
public:
    TableReader(const toml::table& table, std::string path, Locations& locations, sim::Problems& problems)
        : table_(table), path_(std::move(path)), locations_(locations), problems_(problems)
    {
    }

    std::string At(std::string_view key) const { return path_.empty() ? std::string(key) : path_ + "." + std::string(key); }
    void Fail(const toml::node& node, const std::string& path, std::string message);
    void OnlyKeys(const std::vector<std::string>& known);
    // The node of `key`, its position kept; null when absent.
    const toml::node* Get(std::string_view key);
    void Number(std::string_view key, std::optional<double>& value);
    void Whole(std::string_view key, std::optional<int64_t>& value);
    void Text(std::string_view key, std::optional<std::string>& value);
    void Boolean(std::string_view key, std::optional<bool>& value);
    // The table of `key`, or null with a problem when it is something else.
    const toml::table* Table(std::string_view key, const char* example);
    TableReader Inner(const toml::table& table, std::string_view key) { return {table, At(key), locations_, problems_}; }
    // A table of a list, read at `path` ("device[2]").
    TableReader Entry(const toml::table& table, std::string path) { return {table, std::move(path), locations_, problems_}; }
    void Locate(const std::string& path, const toml::node& node) { locations_.Set(path, Position(node.source())); }

    static TextPosition Position(const toml::source_region& where);

private:
    const toml::table& table_;
    std::string path_;
    Locations& locations_;
    sim::Problems& problems_;
};

}  // namespace mimicbox::scenario
