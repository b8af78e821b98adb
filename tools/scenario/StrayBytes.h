// TOML allows bytes outside ASCII only inside strings and comments. toml++ 3.3 reaches undefined
// behaviour on some of them elsewhere (its whitespace table is incomplete), so the loader finds
// them first and reports them as the syntax error they are.
#pragma once

#include <cstddef>
#include <string_view>

namespace mimicbox::scenario {

struct TextPosition {
    std::size_t line = 1;
    std::size_t column = 1;  // in characters, as UTF-8 counts them
};

// True, with its position, when `text` holds a byte of 0x80 or above outside every string and
// comment; false when it holds none.
bool FindStrayByte(std::string_view text, TextPosition& at);

}  // namespace mimicbox::scenario
