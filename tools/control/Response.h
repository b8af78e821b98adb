// Requests and answers of the control API as its handlers see them, whether they came over HTTP or
// as a line typed on a terminal; no HTTP here but the stream interface.
#pragma once

#include <functional>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <utility>
#include <vector>

#include "tools/control/http/HttpMessage.h"

namespace mimicbox::control {

struct Request {
    std::string method;  // "GET", "PUT", "POST", ...
    std::string path;    // "/devices/thermo:3/temperature", decoded, without the query
    std::string body;
    std::string query = {};  // "since=5", as sent
};

struct Response {
    Response() = default;
    Response(int code, std::string text, std::string type = "application/json")
        : status(code), body(std::move(text)), contentType(std::move(type))
    {
    }

    int status = 200;
    std::string body;  // JSON, or the metrics text
    std::string contentType = "application/json";
    http::Headers headers;
    // When set, makes the body from a snapshot of its own, on any thread: a long answer is written
    // away from the loop, so that it does not hold up the reports.
    std::function<std::string()> render;
    // When set, the body comes in pieces over time instead.
    std::shared_ptr<http::ResponseStream> stream;
};

// Answers a request, once; handlers may answer later than they return.
using Reply = std::function<void(Response)>;

// The JSON as the answer's body, with the status; bytes that are not UTF-8 in it are replaced.
Response JsonAnswer(const nlohmann::ordered_json& body, int status = 200);

// {"error": "MESSAGE"} with the status; bytes that are not UTF-8 in the message are replaced.
Response JsonError(int status, const std::string& message);

// Fills in the body from `render`, if it is set.
void Render(Response& response);

}  // namespace mimicbox::control
