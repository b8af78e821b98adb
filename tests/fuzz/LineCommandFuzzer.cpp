// Feeds arbitrary lines to the terminal's line commands, and what they stand for to the controller
// of a running plant, made anew for the input: a line is a request or a usage text, and its answer a
// line of text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tests/fuzz/ControlHarness.h"
#include "tools/control/LineCommands.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    fuzz::ControlHarness harness;
    // A session's worth of typed lines: more in one input would only repeat the work of fewer.
    constexpr int kMostLines = 32;
    int lines = 0;
    for (std::size_t start = 0; start <= text.size() && lines < kMostLines; ++lines) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        mimicbox::control::Request request;
        std::string usage;
        if (mimicbox::control::LineToRequest(text.substr(start, end - start), request, usage)) {
            harness.controller->Dispatch(request, [request](mimicbox::control::Response response) {
                mimicbox::control::ResponseText(request, std::move(response));
            });
            harness.plant.scheduler.Advance(std::chrono::milliseconds(100));
        } else if (usage.empty()) {
            __builtin_trap();
        }
        start = end + 1;
    }
    return 0;
}
