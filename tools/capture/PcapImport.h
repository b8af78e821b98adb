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
    std::size_t skipped = 0;      // packets libtins could not read
    std::size_t earlier = 0;      // packets stamped before the one ahead of them, given its time
};

// False with "FILE: what" for a file that is no regular file or no packet capture, is cut short or
// corrupt, has a link type this cannot read, or holds no TCP packet of `port` (naming the ports it
// does hold). A capture's times never run backwards: a packet stamped earlier than the one ahead of
// it (merged captures have them) takes that one's time.
bool ImportPcap(const std::string& path, unsigned port, ImportResult& result, std::string& error);

}  // namespace mimicbox::capture
