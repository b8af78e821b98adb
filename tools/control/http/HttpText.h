// The small text rules of HTTP: tokens, case, white space, and percent escapes in paths and queries.
#pragma once

#include <charconv>
#include <string>
#include <string_view>

namespace mimicbox::control::http {

// A method or a header's name: one or more of HTTP's token characters.
bool IsToken(std::string_view text);
std::string Lower(std::string_view text);
// Without spaces and tabs at either end.
std::string_view Trim(std::string_view text);
// 0 to 15, or -1 for a character that is no hex digit.
int HexDigit(char c);

// "%41b" is "Ab"; false for a '%' without two hex digits.
bool PercentDecode(std::string_view text, std::string& decoded);

// The value of `name` in a query ("since=5&x=1"), decoded; false when absent or malformed.
bool QueryValue(std::string_view query, std::string_view name, std::string& value);

// `value` from `name` in the query when it is there; false when it is there but no whole number
// of that type. When it is absent, `value` keeps what it held.
template <typename Whole>
bool QueryWhole(std::string_view query, std::string_view name, Whole& value)
{
    std::string text;
    if (!QueryValue(query, name, text))
        return true;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && result.ec == std::errc{} && result.ptr == text.data() + text.size();
}

}  // namespace mimicbox::control::http
