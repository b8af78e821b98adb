#include "link/Record.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "core/DeviceModel.h"

using namespace mimicbox;

TEST(RecordTest, ThermoReportIsExact)
{
    const std::string text = FormatReport(TYPE_THERMO, 3, 1765000000, 0, 21.5f);
    EXPECT_EQ(text, "TolvarkControl: 16, 3, 4, 0, 0, 1, 10;1765000000, 21.500000;");
    EXPECT_EQ(text.size(), 60u);
}

TEST(RecordTest, RelayReportIsExact)
{
    const std::string text = FormatReport(TYPE_RELAY, 1001, 1765000000, 1, 0.0f);
    EXPECT_EQ(text, "TolvarkControl: 8, 1001, 4, 0, 0, 1, 10;1765000000, 1, 0;");
    EXPECT_EQ(text.size(), 57u);
}

TEST(RecordTest, TemperatureIsWidenedBeforePrinting)
{
    struct Row {
        float fTemperature;
        const char* pszBody;
    };
    const Row rows[] = {
        {20.03f, "1, 20.030001;"}, {20.01f, "1, 20.010000;"}, {-30.0f, "1, -30.000000;"},
        {150.0f, "1, 150.000000;"}, {0.0f, "1, 0.000000;"},   {-0.5f, "1, -0.500000;"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(RecordBody(FormatReport(TYPE_THERMO, 1, 1, 0, row.fTemperature)), row.pszBody);
}

TEST(RecordTest, ClockPrintsItsLowThirtyTwoBitsSigned)
{
    struct Row {
        int64_t nClock;
        const char* pszBody;
    };
    const Row rows[] = {
        {2147483647, "2147483647, 0, 0;"},
        {2147483648, "-2147483648, 0, 0;"},
        {4294967296, "0, 0, 0;"},
        {4294967297, "1, 0, 0;"},
        {-1, "-1, 0, 0;"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(RecordBody(FormatReport(TYPE_RELAY, 1016, row.nClock, 0, 0.0f)), row.pszBody);
}

TEST(RecordTest, RelaySerialIsPrintedInFull)
{
    EXPECT_EQ(FormatReport(TYPE_RELAY, 1016, 5, 0, 0.0f), "TolvarkControl: 8, 1016, 4, 0, 0, 1, 10;5, 0, 0;");
}

TEST(RecordTest, ReportDoesNotFollowTheProcessLocale)
{
    const char* pszLocale = std::setlocale(LC_ALL, "de_DE.UTF-8");
    if (!pszLocale)
        pszLocale = std::setlocale(LC_ALL, "de_DE");
    const std::string text = FormatReport(TYPE_THERMO, 3, 1765000000, 0, 21.5f);
    std::setlocale(LC_ALL, "C");
    if (!pszLocale)
        GTEST_SKIP() << "no German locale on this machine";
    EXPECT_EQ(text, "TolvarkControl: 16, 3, 4, 0, 0, 1, 10;1765000000, 21.500000;");
}

TEST(RecordTest, HeaderReadsCanonicalAndLooseForms)
{
    const char* accepted[] = {
        "TolvarkControl: 8, 1001, 4, 0, 0, 1, 11;",
        "TolvarkControl:8,1001,4,0,0,1,11;",
        "TolvarkControl: 8, 1001, 4, 0, 0, 1, 11",
        "TolvarkControl:\t 8,\n1001,  4, 0, 0, 1, 11;trailing",
        "TolvarkControl: +8, 1001, 4, 0, 0, 1, 011;",
    };
    for (const char* pszRecord : accepted) {
        RecordHeader header{};
        ASSERT_TRUE(ParseHeader(pszRecord, header)) << pszRecord;
        EXPECT_EQ(header[0], 8) << pszRecord;
        EXPECT_EQ(header[1], 1001) << pszRecord;
        EXPECT_EQ(header[6], 11) << pszRecord;
    }
}

TEST(RecordTest, HeaderRefusesOtherForms)
{
    const char* refused[] = {
        " TolvarkControl: 8, 1001, 4, 0, 0, 1, 11;",
        "tolvarkcontrol: 8, 1001, 4, 0, 0, 1, 11;",
        "TolvarkControl: 8, 1001, 4, 0, 0, 1;",
        "TolvarkControl: 8 , 1001, 4, 0, 0, 1, 11;",
        "TolvarkControl: 8, 1001, 4, 0, 0, 1, x;",
        "TolvarkControl: 8, 1001, 4, 0, 0, 1, -;",
        "TolvarkControl",
        "",
        // Numbers that do not fit 32 bits are not read, so they cannot pose as a toggle.
        "TolvarkControl: 8, 1001, 4, 0, 0, 1, 4294967307;",
        "TolvarkControl: 8, 1001, 4, 0, 0, 1, 2147483648;",
        "TolvarkControl: 8, 99999999999999999999999999999, 4, 0, 0, 1, 11;",
    };
    for (const char* pszRecord : refused) {
        RecordHeader header{};
        EXPECT_FALSE(ParseHeader(pszRecord, header)) << '"' << pszRecord << '"';
    }
}

TEST(RecordTest, HeaderReadsTheLimitsOfThirtyTwoBits)
{
    RecordHeader header{};
    ASSERT_TRUE(ParseHeader("TolvarkControl: -2147483648, 2147483647, 0, 0, 0, 0, 11;", header));
    EXPECT_EQ(header[0], INT32_MIN);
    EXPECT_EQ(header[1], INT32_MAX);
}

TEST(RecordTest, HeaderIsSafeOnHighBytesAndStopsAtTheViewsEnd)
{
    const std::string highBytes = "TolvarkControl: 8, \xA0\xFF 1001, 4, 0, 0, 1, 11;";
    RecordHeader header{};
    EXPECT_FALSE(ParseHeader(highBytes, header));
    // A view that ends inside the digits reads only what it holds.
    const std::string full = "TolvarkControl: 8, 1001, 4, 0, 0, 1, 119";
    ASSERT_TRUE(ParseHeader(std::string_view(full).substr(0, full.size() - 1), header));
    EXPECT_EQ(header[6], 11);
    const std::string longRecord = "TolvarkControl: 8, 1, 4, 0, 0, 1, 11;" + std::string(100000, 'x');
    EXPECT_TRUE(ParseHeader(longRecord, header));
}

TEST(RecordTest, BodyFollowsTheFirstSemicolon)
{
    EXPECT_EQ(RecordBody("TolvarkControl: 8, 1001, 4, 0, 0, 1, 13;42;"), "42;");
    EXPECT_EQ(RecordBody("TolvarkControl: 8, 1001, 4, 0, 0, 1, 11"), "");
    EXPECT_EQ(ParseTextField("hello;world;"), "hello");
    int32_t nValue = 0;
    EXPECT_TRUE(ParseIntField("42;", nValue));
    EXPECT_EQ(nValue, 42);
    EXPECT_FALSE(ParseIntField("abc;", nValue));
}
