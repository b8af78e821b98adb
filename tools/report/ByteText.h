// Bytes of any kind as JSON text: each byte as the code point of the same number (Latin-1), in
// UTF-8. Valid for any input, and reversible, so that whatever a device or a server sent survives.
#pragma once

#include <string>
#include <string_view>

namespace mimicbox::report {

std::string Latin1ToUtf8(std::string_view bytes);

}  // namespace mimicbox::report
