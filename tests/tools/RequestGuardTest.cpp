#include "tools/control/RequestGuard.h"

#include <gtest/gtest.h>

using namespace mimicbox;
using control::AccessRules;
using control::CheckRequest;

namespace {

control::http::HttpRequest Request(std::string method, control::http::Headers headers, std::string query = "",
                                   std::string path = "/devices")
{
    control::http::HttpRequest request;
    request.method = std::move(method);
    request.path = std::move(path);
    request.query = std::move(query);
    request.headers = std::move(headers);
    return request;
}

}  // namespace

TEST(RequestGuardTest, OnlyAddressesLocalhostAndGivenNamesAreKnownHosts)
{
    // A name given with capitals is the same name in any case.
    const std::vector<std::string> names = {"Plant.Lab"};
    const std::pair<const char*, bool> rows[] = {
        {"127.0.0.1:8080", true}, {"10.1.2.3", true},     {"[::1]:80", true},         {"localhost:41234", true},
        {"LocalHost", true},      {"plant.lab:9", true},  {"PLANT.LAB", true},        {"attacker.example", false},
        {"localhost.", false},    {"127.0.0.1.nip.io", false}, {"[::1", false},       {"[evil]:80", false},
        {"a:b:c", false},         {"", false},            {"[::1]x", false},
        // Only digits may follow the colon: the name is all before it.
        {"localhost:1@evil.example", false}, {"localhost:", false}, {"127.0.0.1:80x", false},
        {"[::1]:", false},        {"localhost:1234567", false}, {"[::1]:8080", true},
    };
    for (const auto& [host, known] : rows)
        EXPECT_EQ(control::KnownHost(host, names), known) << host;
}

TEST(RequestGuardTest, ChangesMustBeJsonAndAForeignHostIsRefusedFirst)
{
    const AccessRules open;
    struct Row {
        const char* method;
        control::http::Headers headers;
        int status;
    };
    const Row rows[] = {
        {"GET", {{"host", "127.0.0.1:1"}}, 0},
        {"GET", {}, 0},  // no Host: no browser sent it
        {"POST", {{"content-type", "application/json"}}, 0},
        {"PUT", {{"content-type", "Application/JSON; charset=utf-8"}}, 0},
        {"POST", {}, 415},
        {"POST", {{"content-type", "text/plain"}}, 415},
        {"PUT", {{"content-type", "application/jsonx"}}, 415},
        {"POST", {{"content-type", "multipart/form-data; boundary=application/json"}}, 415},
        {"DELETE", {}, 0},
        {"POST", {{"host", "attacker.example"}, {"content-type", "application/json"}}, 403},
        {"GET", {{"host", "attacker.example"}}, 403},
    };
    for (const Row& row : rows)
        EXPECT_EQ(CheckRequest(Request(row.method, row.headers), open).status, row.status) << row.method;
}

TEST(RequestGuardTest, TheTokenComesAsBearerCookieOrOnceInTheQuery)
{
    const AccessRules rules{"s3cret", {}};
    EXPECT_EQ(CheckRequest(Request("GET", {}), rules).status, 401);
    EXPECT_EQ(CheckRequest(Request("GET", {{"authorization", "Bearer s3cret"}}), rules).status, 0);
    EXPECT_EQ(CheckRequest(Request("GET", {{"authorization", "bearer  s3cret"}}), rules).status, 0);
    EXPECT_EQ(CheckRequest(Request("GET", {{"authorization", "Bearer s3cre"}}), rules).status, 401);
    EXPECT_EQ(CheckRequest(Request("GET", {{"authorization", "Basic s3cret"}}), rules).status, 401);
    EXPECT_EQ(CheckRequest(Request("GET", {{"cookie", "a=b; mimicbox_token=s3cret"}}), rules).status, 0);
    EXPECT_EQ(CheckRequest(Request("GET", {{"cookie", "mimicbox_token=s3cretx"}}), rules).status, 401);
    EXPECT_EQ(CheckRequest(Request("GET", {{"cookie", "xmimicbox_token=s3cret"}}), rules).status, 401);

    const control::GuardAnswer opened = CheckRequest(Request("GET", {}, "token=s3cret"), rules);
    EXPECT_EQ(opened.status, 0);
    EXPECT_EQ(opened.setCookie, "mimicbox_token=s3cret; HttpOnly; SameSite=Strict; Path=/");
    EXPECT_EQ(opened.redirect, "");  // an API call is answered where it asked
    // The page opened with the token goes on without it in its address.
    EXPECT_EQ(CheckRequest(Request("GET", {}, "token=s3cret", "/"), rules).redirect, "/");
    EXPECT_EQ(CheckRequest(Request("GET", {}, "a=1&token=s3cret&b", "/"), rules).redirect, "/?a=1&b");
    // A change never takes the token from its address, where a link could put it.
    EXPECT_EQ(CheckRequest(Request("POST", {{"content-type", "application/json"}}, "token=s3cret"), rules).status, 401);
    EXPECT_EQ(CheckRequest(Request("GET", {}, "token=wrong"), rules).status, 401);
}
