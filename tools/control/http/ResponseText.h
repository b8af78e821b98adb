// The bytes of an HTTP/1.1 response: its head, and the chunks of a streamed body.
#pragma once

#include <string>
#include <string_view>

#include "tools/control/http/HttpMessage.h"

namespace mimicbox::control::http {

// "OK", "Not Found", ...
const char* ReasonPhrase(int status);

// The status line and headers, with Content-Length for a body or Transfer-Encoding for a stream, and
// "Connection: close" when the connection ends after it.
std::string ResponseHead(const HttpResponse& response, bool keepAlive);

// One chunk of a streamed body; the empty text makes the last chunk.
std::string Chunk(std::string_view text);

}  // namespace mimicbox::control::http
