#include "tools/scenario/StrayBytes.h"

namespace mimicbox::scenario {

namespace {

enum class Context { kPlain, kComment, kBasic, kLiteral, kMultiBasic, kMultiLiteral };

bool StartsWith(std::string_view text, std::size_t at, std::string_view prefix)
{
    return text.substr(at, prefix.size()) == prefix;
}

}  // namespace

bool FindStrayByte(std::string_view text, TextPosition& at)
{
    Context context = Context::kPlain;
    TextPosition position;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        std::size_t skip = 0;
        switch (context) {
        case Context::kPlain:
            if (byte >= 0x80) {
                at = position;
                return true;
            }
            if (byte == '#') {
                context = Context::kComment;
            } else if (StartsWith(text, i, "\"\"\"")) {
                context = Context::kMultiBasic;
                skip = 2;
            } else if (StartsWith(text, i, "'''")) {
                context = Context::kMultiLiteral;
                skip = 2;
            } else if (byte == '"') {
                context = Context::kBasic;
            } else if (byte == '\'') {
                context = Context::kLiteral;
            }
            break;
        case Context::kComment:
            if (byte == '\n')
                context = Context::kPlain;
            break;
        case Context::kBasic:
        case Context::kLiteral:
            // A string ends at its quote; one left open ends at the line, where the parser fails.
            if (byte == '\\' && context == Context::kBasic && i + 1 < text.size() && text[i + 1] != '\n')
                skip = 1;
            else if (byte == '\n' || byte == (context == Context::kBasic ? '"' : '\''))
                context = Context::kPlain;
            break;
        case Context::kMultiBasic:
            if (byte == '\\') {
                skip = 1;
            } else if (StartsWith(text, i, "\"\"\"")) {
                context = Context::kPlain;
                skip = 2;
            }
            break;
        case Context::kMultiLiteral:
            if (StartsWith(text, i, "'''")) {
                context = Context::kPlain;
                skip = 2;
            }
            break;
        }
        for (std::size_t k = 0; k <= skip && i < text.size(); ++k, ++i) {
            const auto c = static_cast<unsigned char>(text[i]);
            if (c == '\n') {
                ++position.line;
                position.column = 1;
            } else if ((c & 0xC0) != 0x80) {
                ++position.column;
            }
        }
        --i;
    }
    return false;
}

}  // namespace mimicbox::scenario
