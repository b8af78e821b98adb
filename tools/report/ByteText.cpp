#include "tools/report/ByteText.h"

namespace mimicbox::report {

std::string Latin1ToUtf8(std::string_view bytes)
{
    std::string text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text.push_back(c);
        } else {
            text.push_back(static_cast<char>(0xC0 | (byte >> 6)));
            text.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        }
    }
    return text;
}

bool Utf8ToLatin1(std::string_view text, std::string& bytes)
{
    bytes.clear();
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            bytes.push_back(static_cast<char>(lead));
            continue;
        }
        // Only the two-byte forms of U+0080 to U+00FF stand for a byte.
        if ((lead != 0xC2 && lead != 0xC3) || i + 1 >= text.size())
            return false;
        const auto next = static_cast<unsigned char>(text[++i]);
        if ((next & 0xC0) != 0x80)
            return false;
        bytes.push_back(static_cast<char>(((lead & 0x1F) << 6) | (next & 0x3F)));
    }
    return true;
}

}  // namespace mimicbox::report
