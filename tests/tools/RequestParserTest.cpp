// HTTP/1.1 requests read from a connection's bytes however they are split, within their limits.
#include "tools/control/http/RequestParser.h"

#include <gtest/gtest.h>

using namespace mimicbox::control::http;

namespace {

struct Read {
    RequestParser::Result result = RequestParser::Result::kNeedMore;
    HttpRequest request;
    int status = 0;
    std::string rest;
};

// Feeds the bytes in pieces of `piece` bytes, until a request is whole or fails.
Read Feed(const std::string& bytes, std::size_t piece, RequestLimits limits = {})
{
    RequestParser parser(limits);
    Read read;
    std::string input;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        input.append(bytes, at, piece);
        do {
            read.result = parser.Feed(input);
        } while (read.result == RequestParser::Result::kHead);
        if (read.result == RequestParser::Result::kDone || read.result == RequestParser::Result::kError)
            break;
    }
    read.status = parser.ErrorStatus();
    if (read.result == RequestParser::Result::kDone)
        read.request = parser.TakeRequest();
    read.rest = input;
    return read;
}

}  // namespace

TEST(RequestParserTest, ARequestReadsTheSameHoweverItsBytesAreSplit)
{
    struct Row {
        std::string bytes;
        const char* method;
        const char* path;
        const char* query;
        const char* body;
    };
    const Row rows[] = {
        {"GET /devices HTTP/1.1\r\nHost: x\r\n\r\n", "GET", "/devices", "", ""},
        {"\r\nGET /events?since=5&x=%41 HTTP/1.0\n\n", "GET", "/events", "since=5&x=%41", ""},
        {"PUT /devices/thermo%3A3/temperature HTTP/1.1\r\nContent-Length: 15\r\n\r\n{\"value\": 42.5}", "PUT",
         "/devices/thermo:3/temperature", "", "{\"value\": 42.5}"},
        {"POST /devices HTTP/1.1\r\nTransfer-Encoding: Chunked\r\n\r\n4;x=y\r\nabcd\r\n2\r\nef\r\n0\r\nT: 1\r\n\r\n",
         "POST", "/devices", "", "abcdef"},
    };
    for (const Row& row : rows) {
        for (std::size_t piece = 1; piece <= row.bytes.size(); ++piece) {
            const Read read = Feed(row.bytes + "GET /next", piece);
            ASSERT_EQ(read.result, RequestParser::Result::kDone) << row.bytes << " in pieces of " << piece;
            EXPECT_EQ(read.request.method, row.method);
            EXPECT_EQ(read.request.path, row.path);
            EXPECT_EQ(read.request.query, row.query);
            EXPECT_EQ(read.request.body, row.body) << piece;
            // The next request's bytes are left for it.
            EXPECT_EQ(std::string("GET /next").rfind(read.rest, 0), 0u) << piece;
        }
    }
}

TEST(RequestParserTest, WhatDoesNotReadGetsItsStatusAsSoonAsItIsKnown)
{
    struct Row {
        std::string bytes;
        int status;
    };
    const Row rows[] = {
        {"GET /x HTTP/1.1\r\nX: " + std::string(240, 'a') + "\r\n\r\n", 431},
        {"GET /x HTTP/1.1\r\nX: " + std::string(300, 'a'), 431},  // before the head even ends
        {"PUT /x HTTP/1.1\r\nContent-Length: 1025\r\n\r\n", 413},
        {"PUT /x HTTP/1.1\r\nContent-Length: -5\r\n\r\n", 400},
        {"PUT /x HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n", 400},
        {"PUT /x HTTP/1.1\r\nContent-Length: 1\r\nTransfer-Encoding: chunked\r\n\r\n", 400},
        {"PUT /x HTTP/1.1\r\nTransfer-Encoding: gzip\r\n\r\n", 501},
        {"PUT /x HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n401\r\n", 413},
        {"PUT /x HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", 400},
        {"PUT /x HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nab\r\n", 400},
        {"GET /x HTTP/3.0\r\n\r\n", 505},
        {"GET /x HTTP/1.1 extra\r\n\r\n", 400},
        {"G@T /x HTTP/1.1\r\n\r\n", 400},
        {"GET /%4 HTTP/1.1\r\n\r\n", 400},
        {"GET /x HTTP/1.1\r\nNo colon\r\n\r\n", 400},
        {"GET /x HTTP/1.1\r\n Folded: value\r\n\r\n", 400},
    };
    RequestLimits small;
    small.head = 256;
    small.body = 1024;
    for (const Row& row : rows) {
        const Read read = Feed(row.bytes, 7, small);
        EXPECT_EQ(read.result, RequestParser::Result::kError) << row.bytes.substr(0, 70);
        EXPECT_EQ(read.status, row.status) << row.bytes.substr(0, 70);
    }
}

TEST(RequestParserTest, TheHeadLimitIsOneWhateverTheSplit)
{
    RequestLimits small;
    small.head = 256;
    // Heads of the limit's size with their empty line, and one and two bytes more.
    for (std::size_t size = 255; size <= 258; ++size) {
        const std::string start = "GET /x HTTP/1.1\r\nX: ";
        const std::string bytes = start + std::string(size - start.size() - 4, 'a') + "\r\n\r\n";
        ASSERT_EQ(bytes.size(), size);
        const Read whole = Feed(bytes, bytes.size(), small);
        for (std::size_t piece : {std::size_t{1}, std::size_t{7}, size - 1}) {
            const Read split = Feed(bytes, piece, small);
            EXPECT_EQ(split.result, whole.result) << size << " in pieces of " << piece;
            EXPECT_EQ(split.status, whole.status) << size << " in pieces of " << piece;
        }
        EXPECT_EQ(whole.status, size <= 256 ? 0 : 431) << size;
    }
}

TEST(RequestParserTest, KeepAliveFollowsTheVersionAndTheConnectionHeader)
{
    struct Row {
        const char* bytes;
        bool keepAlive;
        bool expectsContinue;
    };
    const Row rows[] = {
        {"GET / HTTP/1.1\r\n\r\n", true, false},
        {"GET / HTTP/1.1\r\nConnection: Close\r\n\r\n", false, false},
        {"GET / HTTP/1.0\r\n\r\n", false, false},
        {"GET / HTTP/1.0\r\nConnection: keep-alive\r\n\r\n", true, false},
        {"PUT / HTTP/1.1\r\nExpect: 100-continue\r\nContent-Length: 1\r\n\r\n", true, true},
    };
    for (const Row& row : rows) {
        RequestParser parser;
        std::string input = row.bytes;
        parser.Feed(input);
        EXPECT_EQ(parser.KeepAlive(), row.keepAlive) << row.bytes;
        EXPECT_EQ(parser.ExpectsContinue(), row.expectsContinue) << row.bytes;
    }
    std::string value;
    EXPECT_TRUE(QueryValue("since=5&name=a%20b", "name", value));
    EXPECT_EQ(value, "a b");
    EXPECT_FALSE(QueryValue("sincere=5", "since", value));
}
