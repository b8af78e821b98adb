// Feeds arbitrary bytes to the control API as a client could send them over one connection: read in
// pieces by the HTTP request parser, and every whole request through the routes and the controller of
// a running plant, made anew for the input. Whatever the bytes, each request is answered or refused,
// never a crash.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tests/fuzz/ControlHarness.h"
#include "tools/control/http/RequestParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte says how the connection splits what it reads.
    const std::size_t piece = 1 + data[0] % 64;
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    fuzz::ControlHarness harness;
    mimicbox::control::http::RequestParser parser;
    std::string inbox;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        inbox.append(bytes, at, piece);
        for (bool more = true; more;) {
            using Result = mimicbox::control::http::RequestParser::Result;
            const Result result = parser.Feed(inbox);
            more = result == Result::kHead || result == Result::kDone;
            if (result == Result::kError) {
                if (parser.ErrorStatus() < 400 || parser.ErrorStatus() > 505)
                    __builtin_trap();
                return 0;
            }
            if (result != Result::kDone)
                continue;
            mimicbox::control::http::HttpRequest request = parser.TakeRequest();
            harness.Call({request.method, request.path, request.body, request.query});
            parser.Reset();
        }
    }
    return 0;
}
