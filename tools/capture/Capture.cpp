#include "tools/capture/Capture.h"

#include <array>
#include <utility>

namespace mimicbox::capture {

namespace {

constexpr std::array<std::pair<CaptureKind, const char*>, 6> kKinds = {{
    {CaptureKind::kConnect, "connect"},
    {CaptureKind::kData, "data"},
    {CaptureKind::kHalfClose, "half-close"},
    {CaptureKind::kClose, "close"},
    {CaptureKind::kReset, "reset"},
    {CaptureKind::kConnectFailed, "connect-failed"},
}};

}  // namespace

const char* KindName(CaptureKind kind)
{
    for (const auto& [known, name] : kKinds)
        if (known == kind)
            return name;
    return "data";
}

bool KindFromName(std::string_view name, CaptureKind& kind)
{
    for (const auto& [known, text] : kKinds)
        if (name == text) {
            kind = known;
            return true;
        }
    return false;
}

const char* SideName(Side side) { return side == Side::kDevice ? "device" : "server"; }

}  // namespace mimicbox::capture
