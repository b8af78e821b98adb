#include "tools/scenario/TomlTableReader.h"

#include <algorithm>
#include <cmath>

namespace mimicbox::scenario {

void TableReader::Fail(const toml::node& node, const std::string& path, std::string message)
{
    locations_.Set(path, Position(node.source()));
    problems_.push_back({path, std::move(message)});
}

void TableReader::OnlyKeys(const std::vector<std::string>& known)
{
    for (auto&& [key, node] : table_) {
        if (std::find(known.begin(), known.end(), key.str()) == known.end()) {
            locations_.Set(At(key.str()), Position(key.source()));
            problems_.push_back({At(key.str()), "unknown key"});
        }
    }
}

const toml::node* TableReader::Get(std::string_view key)
{
    const toml::node* node = table_.get(key);
    if (node)
        locations_.Set(At(key), Position(node->source()));
    return node;
}

void TableReader::Number(std::string_view key, std::optional<double>& value)
{
    const toml::node* node = Get(key);
    if (!node)
        return;
    const std::optional<double> number = node->value<double>();
    if (!node->is_number() || !number || !std::isfinite(*number))
        Fail(*node, At(key), "must be a number");
    else
        value = number;
}

void TableReader::Whole(std::string_view key, std::optional<int64_t>& value)
{
    const toml::node* node = Get(key);
    if (node && !node->is_integer())
        Fail(*node, At(key), "must be a whole number");
    else if (node)
        value = node->as_integer()->get();
}

void TableReader::Text(std::string_view key, std::optional<std::string>& value)
{
    const toml::node* node = Get(key);
    if (node && !node->is_string())
        Fail(*node, At(key), "must be a text in quotes");
    else if (node)
        value = UnshieldText(node->as_string()->get());
}

void TableReader::Boolean(std::string_view key, std::optional<bool>& value)
{
    const toml::node* node = Get(key);
    if (node && !node->is_boolean())
        Fail(*node, At(key), "must be true or false");
    else if (node)
        value = node->as_boolean()->get();
}

const toml::table* TableReader::Table(std::string_view key, const char* example)
{
    const toml::node* node = Get(key);
    if (node && !node->is_table())
        Fail(*node, At(key), std::string("must be a table") + example);
    return node ? node->as_table() : nullptr;
}

TextPosition TableReader::Position(const toml::source_region& where)
{
    return {static_cast<std::size_t>(where.begin.line), static_cast<std::size_t>(where.begin.column)};
}

}  // namespace mimicbox::scenario
