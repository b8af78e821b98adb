#include "tools/capture/ReplaySettings.h"

#include <filesystem>

namespace mimicbox::capture {

ReplaySettings SettingsOf(const sim::ReplayEntry& replay, const std::string& folder)
{
    ReplaySettings settings;
    if (replay.capture) {
        const std::filesystem::path path(*replay.capture);
        settings.capture = path.is_absolute() || folder.empty() ? path.string() : (std::filesystem::path(folder) / path).string();
    }
    settings.exact = replay.mode.value_or("values") == "exact";
    settings.speed = replay.speed.value_or(1);
    settings.loop = replay.loop.value_or(false);
    settings.from = replay.from.value_or(0);
    settings.to = replay.to;
    settings.rewriteClock = replay.rewriteClock.value_or(false);
    settings.copies = static_cast<uint64_t>(replay.copies.value_or(1));
    for (const auto& [recorded, serial] : replay.serials)
        settings.serials[static_cast<int32_t>(std::stol(recorded))] = static_cast<int32_t>(serial);
    return settings;
}

}  // namespace mimicbox::capture
