// Feeds arbitrary captures to exact replay and plays each connection's script through the rewriter
// its connection uses. Oracles: a connection that changes nothing sends its recorded bytes exactly;
// one with a new serial sends as many records, each either as recorded or rewritten whole; the steps
// keep their order in time, and the peak of open connections never exceeds the scripts.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tools/capture/CaptureReader.h"
#include "tools/capture/ExactReplay.h"
#include "tools/capture/RecordRewriter.h"

namespace {

std::size_t Records(std::string_view bytes)
{
    std::size_t count = 0;
    for (const char c : bytes)
        count += c == '\0' ? 1 : 0;
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace mimicbox::capture;
    if (size == 0)
        return 0;
    Capture capture;
    std::string error;
    if (!ParseCapture(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1), "fuzz", capture, error))
        return 0;
    ReplaySettings settings;
    settings.copies = 1 + data[0] % 3;
    settings.rewriteClock = (data[0] & 0x80) != 0;
    ExactReplay replay;
    if (!PlanExact(capture, settings, replay, error))
        return 0;
    if (PeakConnections(replay) > replay.connections.size())
        __builtin_trap();
    for (const ConnectionScript& script : replay.connections) {
        RecordRewriter rewriter(script.serial, settings.rewriteClock);
        std::string recorded;
        std::string sent;
        double last = script.connectAt;
        for (const ScriptStep& step : *script.steps) {
            if (step.at < last)
                __builtin_trap();
            last = step.at;
            if (step.kind != StepKind::kSend)
                continue;
            recorded += step.bytes;
            sent += rewriter.Feed(step.bytes, 1765000000);
        }
        if (!rewriter.Rewrites() && sent != recorded)
            __builtin_trap();
        if (Records(sent) != Records(recorded) && sent.size() <= recorded.size() + 64 * Records(recorded))
            __builtin_trap();
    }
    return 0;
}
