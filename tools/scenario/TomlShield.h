// Keeps characters away from the TOML library that its tables do not handle. Debian's toml++ 3.3
// reaches undefined behaviour when it asks whether some characters beyond ASCII are white space (for
// example U+0439 or U+FEEF after a stray quote, or after a backslash in a string). Before the text is
// parsed, every character from U+0080 to U+FFFF is moved to the private use plane 15 (U+F0080 to
// U+FFFFF), which every table rejects at its first comparison, and moved back in what is read. The
// count of characters stays the same, so lines and columns in messages do too.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mimicbox::scenario {

struct TextPosition {
    std::size_t line = 1;
    std::size_t column = 1;  // in characters, from 1
};

// The text to hand to the parser. False, with its position, when the text holds a character of
// plane 15 itself, which would not come back as it was.
bool ShieldText(std::string_view text, std::string& shielded, TextPosition& refused);

// A string the parser read from shielded text, with its characters as they were.
std::string UnshieldText(std::string_view text);

}  // namespace mimicbox::scenario
