#include "tools/report/DeviceProfiles.h"

#include <cstring>

namespace mimicbox::report {

void DeviceProfiles::OnEvent(const sim::Event& event)
{
    if (event.kind != sim::EventKind::kAction || !event.action)
        return;
    sim::ProfileKind kind{};
    const bool setProfile = event.profile && sim::ParseProfileKind(event.profile, kind);
    // A set temperature says in its reason when it ended an absolute profile.
    const bool ended = std::strcmp(event.action, "set-temperature") == 0 && !event.reason.empty();
    if (!setProfile && !ended)
        return;
    if (event.device >= kinds_.size())
        kinds_.resize(event.device + 1, sim::ProfileKind::kSteps);
    kinds_[event.device] = setProfile ? kind : sim::ProfileKind::kSteps;
}

}  // namespace mimicbox::report
