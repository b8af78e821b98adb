#include "tools/control/LineCommands.h"

#include <gtest/gtest.h>

using namespace mimicbox::control;

TEST(LineCommandsTest, EachCommandIsARequestOfTheApi)
{
    struct Row {
        const char* line;
        const char* method;
        const char* path;
        const char* body;
    };
    const Row rows[] = {
        {"list", "GET", "/devices", ""},
        {"  set thermo:3 42.5 ", "PUT", "/devices/thermo:3/temperature", R"({"value":42.5})"},
        {"set thermo:3 warm", "PUT", "/devices/thermo:3/temperature", R"({"value":"warm"})"},
        {"switch relay:1005 on", "PUT", "/devices/relay:1005/switch", R"({"state":"on"})"},
        {"drop relay:1005", "POST", "/devices/relay:1005/disconnect", ""},
        {"fault thermo:1 garbage", "POST", "/devices/thermo:1/fault", R"({"kind":"garbage"})"},
        {"add thermo:7", "POST", "/devices", R"({"model":"thermo","serial":7})"},
        {"add relay:1001-1010", "POST", "/devices", R"({"model":"relay","serials":"1001-1010"})"},
        {"add pump", "POST", "/devices", R"({"model":"pump","serials":""})"},
        {"remove thermo:7", "DELETE", "/devices/thermo:7", ""},
        {"q", "POST", "/stop", ""},
        // Bytes that are not UTF-8 make a request all the same, for the API to refuse with its reason.
        {"add \xff", "POST", "/devices", "{\"model\":\"\xef\xbf\xbd\",\"serials\":\"\"}"},
        {"set thermo:3 \xfe", "PUT", "/devices/thermo:3/temperature", "{\"value\":\"\xef\xbf\xbd\"}"},
    };
    for (const Row& row : rows) {
        Request request;
        std::string error;
        ASSERT_TRUE(LineToRequest(row.line, request, error)) << row.line;
        EXPECT_EQ(request.method, row.method) << row.line;
        EXPECT_EQ(request.path, row.path) << row.line;
        EXPECT_EQ(request.body, row.body) << row.line;
    }
    for (const char* line : {"", "lst", "set thermo:3", "drop", "q now", "switch relay:1 on off"}) {
        Request request;
        std::string error;
        EXPECT_FALSE(LineToRequest(line, request, error)) << line;
        EXPECT_EQ(error.rfind("commands: list,", 0), 0u) << line;
    }
}

TEST(LineCommandsTest, AnswersReadAsATerminalShowsThem)
{
    const Request list{"GET", "/devices", ""};
    const Response devices{200,
                           R"([{"name":"thermo:3","connected":true,"temperature":21.5,"profile":"sine","reports_sent":4},)"
                           R"({"name":"relay:1005","connected":false,"switch":"on","reports_sent":9}])",
                           "application/json"};
    EXPECT_EQ(ResponseText(list, devices),
              "thermo:3 connected, 21.5 °C, sine, 4 reports\nrelay:1005 not connected, switch on, 9 reports\n2 devices");
    const Request set{"PUT", "/devices/relay:1005/temperature", ""};
    EXPECT_EQ(ResponseText(set, {400, R"({"error":"a Relay-Box has no temperature"})", "application/json"}),
              "a Relay-Box has no temperature");
    EXPECT_EQ(ResponseText(set, {200, "{}", "application/json"}), "ok");
    const Request add{"POST", "/devices", R"({"model":"thermo","serial":7})"};
    EXPECT_EQ(ResponseText(add, {201, R"([{"name":"thermo:7","connected":false,"temperature":0,"profile":"steps"}])",
                                 "application/json"}),
              "thermo:7 not connected, 0 °C, steps, 0 reports\n1 device");
}
