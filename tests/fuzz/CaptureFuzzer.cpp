// Feeds arbitrary text to the capture reader, and what it accepts on to both replay plans: a capture
// or a message, time that never runs backwards, and plans that never fail on a capture read whole.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tools/capture/CaptureReader.h"
#include "tools/capture/ExactReplay.h"
#include "tools/capture/ReplayValues.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace mimicbox::capture;
    Capture capture;
    std::string error;
    if (!ParseCapture(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz", capture, error)) {
        if (error.rfind("fuzz:", 0) != 0)
            __builtin_trap();
        return 0;
    }
    for (std::size_t i = 1; i < capture.events.size(); ++i)
        if (capture.events[i].t < capture.events[i - 1].t)
            __builtin_trap();
    ReplaySettings settings;
    settings.copies = 2;
    ValuesReplay values;
    PlanValues(FindDevices(capture, settings), settings, values, error);
    ExactReplay exact;
    PlanExact(capture, settings, exact, error);
    return 0;
}
