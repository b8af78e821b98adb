// Reads a capture back, checking all of it before anything may connect: the first line names a
// version this reads, every line is an event, and time never runs backwards. Every fault is
// "FILE:LINE: what".
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/capture/Capture.h"
#include "tools/capture/CaptureLine.h"

namespace mimicbox::capture {

struct Capture {
    CaptureHeader header;
    std::vector<CaptureEvent> events;
};

// `name` is the file's name in messages.
bool ParseCapture(std::string_view text, std::string_view name, Capture& capture, std::string& error);
bool ReadCapture(const std::string& path, Capture& capture, std::string& error);

}  // namespace mimicbox::capture
