#include "tools/options/HostPort.h"

#include <gtest/gtest.h>

using namespace mimicbox::options;

TEST(HostPortTest, HostsAndPortsReadWithIPv6InBrackets)
{
    const struct {
        const char* text;
        bool numeric;
        bool read;
        const char* host;
        unsigned port;
    } rows[] = {
        {"127.0.0.1:80", true, true, "127.0.0.1", 80},
        {"[::1]:8080", true, true, "::1", 8080},
        {"[fe80::1]:1", false, true, "fe80::1", 1},
        {"server.lab:54741", false, true, "server.lab", 54741},
        {"server.lab:54741", true, false, "", 0},
        {"::1:8080", true, false, "", 0},  // which colon ends the address?
        {"[::1]8080", true, false, "", 0},
        {"[localhost]:80", false, false, "", 0},
        {"[::1:80", true, false, "", 0},
        {"a]:80", false, false, "", 0},
        {":80", false, false, "", 0},
        {"[::1]:65536", true, false, "", 0},
    };
    for (const auto& row : rows) {
        std::string host;
        unsigned port = 0;
        EXPECT_EQ(ParseHostPort(row.text, row.numeric, 1, host, port), row.read) << row.text;
        if (row.read) {
            EXPECT_EQ(host, row.host) << row.text;
            EXPECT_EQ(port, row.port) << row.text;
            EXPECT_EQ(JoinHostPort(host, port), row.text) << "written back";
        }
    }
}

TEST(HostPortTest, AddressesAndLoopbacks)
{
    std::string address;
    EXPECT_TRUE(ParseAddress("[::1]", address));
    EXPECT_EQ(address, "::1");
    EXPECT_TRUE(ParseAddress("10.0.0.1", address));
    EXPECT_FALSE(ParseAddress("localhost", address));
    EXPECT_FALSE(ParseAddress("10.0.0.256", address));
    for (const char* loopback : {"127.0.0.1", "127.200.0.3", "::1"})
        EXPECT_TRUE(IsLoopback(loopback)) << loopback;
    for (const char* other : {"0.0.0.0", "::", "10.0.0.1", "::2", "localhost"})
        EXPECT_FALSE(IsLoopback(other)) << other;
}
