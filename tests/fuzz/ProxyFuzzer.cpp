// Feeds arbitrary bytes from both sides of a recorded connection to the capture's lines, as the
// recording proxy writes them: chunks split as reads could split them, each side framed apart.
// Oracle: the lines read back as a capture with every chunk's bytes exactly, on its side, in order.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/capture/CaptureLine.h"
#include "tools/capture/CaptureReader.h"
#include "tools/io/RecordFramer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace mimicbox::capture;
    std::string text = HeaderLine({"record", "127.0.0.1:54741", 0});
    std::vector<CaptureEvent> written;
    mimicbox::io::RecordFramer framers[2] = {mimicbox::io::RecordFramer(4096), mimicbox::io::RecordFramer(4096)};
    // Each chunk: a byte for its side and length, then its bytes.
    for (size_t at = 0; at < size;) {
        const bool server = (data[at] & 0x80) != 0;
        const size_t length = std::min<size_t>(1 + (data[at] & 0x7f), size - at - 1);
        CaptureEvent event;
        event.t = static_cast<double>(written.size()) / 1000.0;
        event.conn = 1;
        event.peer = "127.0.0.1:40000";
        event.from = server ? Side::kServer : Side::kDevice;
        event.bytes.assign(reinterpret_cast<const char*>(data + at + 1), length);
        at += 1 + length;
        std::vector<std::string> records;
        framers[server ? 1 : 0].Feed(event.bytes, [&](std::string_view record) { records.emplace_back(record); },
                                     [](std::size_t) {});
        const std::vector<std::string_view> views(records.begin(), records.end());
        AppendEventLine(text, event, views);
        written.push_back(std::move(event));
    }
    Capture capture;
    std::string error;
    if (!ParseCapture(text, "fuzz", capture, error) || capture.events.size() != written.size())
        __builtin_trap();
    for (std::size_t i = 0; i < written.size(); ++i)
        if (capture.events[i].bytes != written[i].bytes || capture.events[i].from != written[i].from)
            __builtin_trap();
    return 0;
}
