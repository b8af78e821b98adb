// The reference server's events as lines on a terminal, each with the local time: every record
// decoded, unless quiet, when only unreadable records and troubles are told.
#pragma once

#include <cstdio>

#include "tools/server/ServerEvent.h"

namespace mimicbox::server {

class ServerText : public ServerSink {
public:
    // Prints on `out` and `err`, which are not owned.
    ServerText(std::FILE* out, std::FILE* err, bool quiet) : out_(out), err_(err), quiet_(quiet) {}

    void OnEvent(const ServerEvent& event) override;

private:
    void Line(std::FILE* stream, const ServerEvent& event, const std::string& text) const;

    std::FILE* out_;
    std::FILE* err_;
    bool quiet_;
};

// "relay:1001" once the device has sent a readable report, else "unknown device".
std::string DeviceLabel(const DeviceIdentity& device);

}  // namespace mimicbox::server
