// Reads HTTP/1.1 requests from the bytes of a connection as they arrive, within limits: the head
// (request line, headers and the empty line after them) up to 8 KB however its bytes arrive, the body up to 1 MB, by Content-Length or chunked. What
// does not read gets the status to answer with and a message, never an exception.
#pragma once

#include <cstddef>
#include <string>

#include "tools/control/http/HttpMessage.h"
#include "tools/control/http/HttpText.h"

namespace mimicbox::control::http {

struct RequestLimits {
    std::size_t head = 8192;
    std::size_t body = std::size_t{1} << 20;
    std::size_t headers = 100;
};

class RequestParser {
public:
    enum class Result {
        kNeedMore,  // all of `input` is used; more bytes are needed
        kHead,      // the head is whole and a body follows; call again to read it
        kDone,      // a whole request; the rest of `input` belongs to the next one
        kError,     // the request cannot be read; answer ErrorStatus() and close
    };

    explicit RequestParser(RequestLimits limits = {}) : limits_(limits) {}

    // Reads from the front of `input` and removes what it used.
    Result Feed(std::string& input);
    // The request read so far: its head after kHead, all of it after kDone.
    const HttpRequest& Request() const { return request_; }
    HttpRequest TakeRequest() { return std::move(request_); }
    // Whether the client asked for "100 Continue" before it sends the body.
    bool ExpectsContinue() const { return expectsContinue_; }
    // Whether the connection stays open after the answer, by the request's version and headers.
    bool KeepAlive() const { return keepAlive_; }
    // Whether any byte of a request has been read since the last Reset.
    bool Started() const { return started_; }
    int ErrorStatus() const { return errorStatus_; }
    const std::string& ErrorText() const { return errorText_; }

    // Starts on the next request.
    void Reset();

private:
    enum class Stage { kHead, kBody, kChunkSize, kChunkData, kChunkEnd, kTrailer, kDone, kFailed };

    Result ReadHead(std::string& input);
    Result ReadBody(std::string& input);
    Result ReadChunked(std::string& input);
    // Moves what remains of the body, or of the chunk, from `input`; true once none remains.
    bool TakeBody(std::string& input);
    Result BodyTooLarge();
    bool ParseHead(const std::string& head);
    bool ParseRequestLine(const std::string& line);
    bool ParseHeaderLine(const std::string& line);
    bool ChooseBody();
    Result Fail(int status, std::string text);
    // One line from `input` without its end; false while the line is not whole.
    bool TakeLine(std::string& input, std::string& line, std::size_t limit, bool& tooLong);

    RequestLimits limits_;
    Stage stage_ = Stage::kHead;
    HttpRequest request_;
    std::string head_;
    std::size_t remaining_ = 0;  // of the body, or of the chunk
    bool chunked_ = false;
    bool expectsContinue_ = false;
    bool keepAlive_ = true;
    bool started_ = false;
    int errorStatus_ = 0;
    std::string errorText_;
};

}  // namespace mimicbox::control::http
