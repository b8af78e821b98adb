// HTTP/1.1 requests and responses as the control API's server passes them to its handler.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mimicbox::control::http {

using Headers = std::vector<std::pair<std::string, std::string>>;

struct HttpRequest {
    std::string method;
    std::string target;  // as sent: path and query
    std::string path;    // percent-decoded, without the query
    std::string query;   // as sent, after the '?'
    int minorVersion = 1;
    Headers headers;     // names in lower case, in the order sent
    std::string body;

    // The value of the first header of that name (lower case), or null.
    const std::string* Header(std::string_view name) const;
};

// A body that comes in pieces over time, such as Server-Sent Events, sent with chunked encoding.
class ResponseStream {
public:
    using Deliver = std::function<void(std::string text, bool last)>;
    virtual ~ResponseStream() = default;
    // Asks for the next piece; `deliver` is called once, from any thread, when there is one (empty
    // text with `last` at the end of the body).
    virtual void Next(Deliver deliver) = 0;
};

struct HttpResponse {
    int status = 200;
    std::string contentType = "application/json";
    std::string body;
    Headers headers;                        // besides Content-Type, Content-Length and Connection
    std::shared_ptr<ResponseStream> stream;  // instead of the body, when set
    bool close = false;                      // close the connection after this response
};

// Answers a request, from any thread, once.
using Responder = std::function<void(HttpResponse response)>;

class HttpHandler {
public:
    virtual ~HttpHandler() = default;
    // Called on the server's thread for each whole request; `respond` may be called later.
    virtual void Handle(HttpRequest request, Responder respond) = 0;
};

// The response the server itself sends for a request it cannot take (400, 408, 413, 431, 503, ...):
// the handler's form of an error, so that every error reads alike.
using ErrorResponse = std::function<HttpResponse(int status, const std::string& message)>;

}  // namespace mimicbox::control::http
