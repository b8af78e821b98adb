// The names scenario files give the values of an enumeration, read and written through one table.
#pragma once

#include <cstddef>
#include <string_view>
#include <utility>

namespace mimicbox::sim {

template <typename Value, std::size_t N>
const char* NameOf(const std::pair<std::string_view, Value> (&names)[N], Value value, const char* otherwise)
{
    for (const auto& [name, candidate] : names)
        if (candidate == value)
            return name.data();
    return otherwise;
}

template <typename Value, std::size_t N>
bool ParseName(const std::pair<std::string_view, Value> (&names)[N], std::string_view text, Value& value)
{
    for (const auto& [name, candidate] : names) {
        if (name == text) {
            value = candidate;
            return true;
        }
    }
    return false;
}

}  // namespace mimicbox::sim
