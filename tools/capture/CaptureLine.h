// One capture event as its JSON line, and the capture's first line. A data event lists the records
// its bytes complete, decoded where they can be read, as a reader of the file wants them; replay
// reads only the bytes. Written by hand rather than through a JSON tree: the proxy writes a line for
// every chunk it forwards, and building a tree for each cost it more than forwarding did.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/capture/Capture.h"

namespace mimicbox::capture {

struct CaptureHeader {
    std::string source;  // "record" or "import"
    std::string server;  // "127.0.0.1:54741"
    int64_t startWall = 0;
};

std::string HeaderLine(const CaptureHeader& header);
void AppendEventLine(std::string& out, const CaptureEvent& event, const std::vector<std::string_view>& records);
std::string EventLine(const CaptureEvent& event, const std::vector<std::string_view>& records);

// `text` as a JSON string, quotes included, each byte taken as the code point of its number (Latin-1).
void AppendJsonString(std::string& out, std::string_view text);
// Text (an address, a reason) as a JSON string: as the UTF-8 it is, so that it reads back the same;
// bytes that are no UTF-8 as Latin-1, which is valid JSON whatever they are.
void AppendJsonText(std::string& out, std::string_view text);

}  // namespace mimicbox::capture
