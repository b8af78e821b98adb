#include "tools/scenario/TomlShield.h"

namespace mimicbox::scenario {

namespace {

constexpr char32_t kPlane15 = 0xF0000;

// The code point of the well-formed UTF-8 sequence at the start of `text`, and its length; length 0
// for anything else (a stray byte, an overlong form, a surrogate, a truncated sequence).
std::size_t Decode(std::string_view text, char32_t& point)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const auto continues = [&](std::size_t i) { return i < text.size() && (byte(i) & 0xC0) == 0x80; };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        point = lead;
        return 1;
    }
    std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || lead > 0xF4)
        return 0;
    point = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if (!continues(i))
            return 0;
        point = point << 6 | (byte(i) & 0x3F);
    }
    constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < kLeast[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
        return 0;
    return length;
}

void Encode(char32_t point, std::string& out)
{
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xC0 | point >> 6);
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        out += static_cast<char>(0xE0 | point >> 12);
        out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | point >> 18);
        out += static_cast<char>(0x80 | (point >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    }
}

bool InPlane15(char32_t point) { return point >= kPlane15 && point <= kPlane15 + 0xFFFF; }

}  // namespace

bool ShieldText(std::string_view text, std::string& shielded, TextPosition& refused)
{
    shielded.clear();
    shielded.reserve(text.size() + text.size() / 2);
    TextPosition position;
    while (!text.empty()) {
        char32_t point = 0;
        const std::size_t length = Decode(text, point);
        if (length == 0) {
            // Left for the parser to refuse as not UTF-8.
            shielded += text.front();
            text.remove_prefix(1);
            ++position.column;
            continue;
        }
        if (InPlane15(point)) {
            refused = position;
            return false;
        }
        Encode(point >= 0x80 && point <= 0xFFFF ? kPlane15 + point : point, shielded);
        text.remove_prefix(length);
        if (point == '\n') {
            ++position.line;
            position.column = 1;
        } else {
            ++position.column;
        }
    }
    return true;
}

std::string UnshieldText(std::string_view text)
{
    std::string plain;
    plain.reserve(text.size());
    while (!text.empty()) {
        char32_t point = 0;
        const std::size_t length = Decode(text, point);
        if (length == 0) {
            plain += text.front();
            text.remove_prefix(1);
            continue;
        }
        if (InPlane15(point))
            Encode(point - kPlane15, plain);
        else
            plain.append(text.substr(0, length));
        text.remove_prefix(length);
    }
    return plain;
}

}  // namespace mimicbox::scenario
