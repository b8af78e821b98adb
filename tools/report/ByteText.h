// Bytes of any kind as JSON text: each byte as the code point of the same number (Latin-1), in
// UTF-8. Valid for any input, and reversible, so that whatever a device or a server sent survives.
#pragma once

#include <string>
#include <string_view>

namespace mimicbox::report {

std::string Latin1ToUtf8(std::string_view bytes);
// The way back: false when `text` is no UTF-8 or holds a code point beyond 255.
bool Utf8ToLatin1(std::string_view text, std::string& bytes);

// Whether `text` is well-formed UTF-8: no stray or missing continuation byte, no overlong form, no
// surrogate, nothing beyond U+10FFFF.
bool IsUtf8(std::string_view text);

}  // namespace mimicbox::report
