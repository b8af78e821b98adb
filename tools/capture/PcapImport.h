// A packet capture (tcpdump -w) of a device server's host turned into a capture: the TCP streams to
// the server's port reassembled by libtins, out-of-order segments, retransmissions and streams
// already under way when the capture began included.
#pragma once

#include <string>
#include <vector>

#include "tools/capture/Capture.h"
#include "tools/capture/CaptureLine.h"

namespace mimicbox::capture {

struct ImportResult {
    CaptureHeader header;
    std::vector<CaptureEvent> events;
    std::size_t packets = 0;
    std::size_t skipped = 0;  // packets libtins could not read
};

// False with "FILE: what" for a file that is no packet capture, is cut short, or has a link type
// this cannot read.
bool ImportPcap(const std::string& path, unsigned port, ImportResult& result, std::string& error);

}  // namespace mimicbox::capture
