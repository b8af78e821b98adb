// Help text wrapped to a terminal's width.
#include "tools/options/HelpText.h"

#include <gtest/gtest.h>

using mimicbox::options::WrapHelp;

TEST(HelpTextTest, LongLinesWrapUnderTheirDescriptionOrAtTheirIndent)
{
    struct Row {
        const char* text;
        std::size_t width;
        const char* wrapped;
    };
    const Row rows[] = {
        {"short line", 12, "short line"},
        {"one two three four", 12, "one two\nthree four"},
        {"  --port N    the port of the server", 24, "  --port N    the port\n              of the\n              server"},
        {"  indented text goes on here", 12, "  indented\n  text goes\n  on here"},
        {"unbreakable-word-longer-than-the-width and more", 12, "unbreakable-word-longer-than-the-width\nand more"},
        {"first\n\nsecond paragraph here", 12, "first\n\nsecond\nparagraph\nhere"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(WrapHelp(row.text, row.width), row.wrapped) << row.text;
}
