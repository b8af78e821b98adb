#include "core/NumberText.h"

#include <gtest/gtest.h>

#include <clocale>

TEST(NumberTextTest, FloatIsWrittenWithSixSignificantDigits)
{
    struct Row {
        float value;
        const char* pszText;
    };
    const Row rows[] = {
        {0.0f, "0"},       {20.01f, "20.01"},   {-30.0f, "-30"},       {150.0f, "150"},
        {149.95f, "149.95"}, {100.01f, "100.01"}, {0.00001f, "1e-05"}, {123456789.0f, "1.23457e+08"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(FormatFloatG6(row.value), row.pszText);
}

TEST(NumberTextTest, FloatReadsFiniteDecimalsOnly)
{
    struct Row {
        const char* pszText;
        bool bValid;
        float value;
    };
    const Row rows[] = {
        {"21.5", true, 21.5f}, {" -30 ", true, -30.0f}, {"+5", true, 5.0f},     {"1e2", true, 100.0f},
        {".5", true, 0.5f},    {"", false, 0},          {"abc", false, 0},      {"21,5", false, 0},
        {"5x", false, 0},      {"nan", false, 0},       {"inf", false, 0},      {"1e50", false, 0},
        {"+-5", false, 0},     {"0x10", false, 0},      {"- 5", false, 0},
    };
    for (const Row& row : rows) {
        float value = -1.0f;
        EXPECT_EQ(ParseFloat(row.pszText, value), row.bValid) << '"' << row.pszText << '"';
        if (row.bValid) {
            EXPECT_EQ(value, row.value) << row.pszText;
        }
    }
}

TEST(NumberTextTest, UnsignedReadsDecimalDigitsWithinRange)
{
    struct Row {
        const char* pszText;
        bool bValid;
        unsigned int value;
    };
    const Row rows[] = {
        {"54741", true, 54741}, {" 80 ", true, 80}, {"+7", true, 7}, {"0", true, 0},
        {"4294967295", true, 4294967295u}, {"4294967296", false, 0}, {"-1", false, 0}, {"", false, 0},
        {"12ab", false, 0}, {"1.5", false, 0},
    };
    for (const Row& row : rows) {
        unsigned int value = 1;
        EXPECT_EQ(ParseUint(row.pszText, value), row.bValid) << '"' << row.pszText << '"';
        if (row.bValid) {
            EXPECT_EQ(value, row.value) << row.pszText;
        }
    }
}

TEST(NumberTextTest, NumbersDoNotFollowTheProcessLocale)
{
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "no German locale on this machine";
    float value = 0.0f;
    const bool bDot = ParseFloat("21.5", value);
    const bool bComma = ParseFloat("21,5", value);
    const std::string text = FormatFloatG6(21.5f);
    std::setlocale(LC_ALL, "C");
    EXPECT_TRUE(bDot);
    EXPECT_FALSE(bComma);
    EXPECT_EQ(text, "21.5");
}
