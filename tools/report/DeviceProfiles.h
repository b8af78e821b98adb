// Each device's profile as a run's events leave it, for a report made from logs: it starts as the
// scenario set it and follows every set-profile, and a set temperature that ends a sine or a table.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/sim/Event.h"
#include "tools/sim/Profile.h"

namespace mimicbox::report {

class DeviceProfiles : public sim::EventSink {
public:
    // By the devices' numbers; a device beyond them starts with steps.
    explicit DeviceProfiles(std::vector<sim::ProfileKind> start) : kinds_(std::move(start)) {}

    void OnEvent(const sim::Event& event) override;
    const std::vector<sim::ProfileKind>& Kinds() const { return kinds_; }

private:
    std::vector<sim::ProfileKind> kinds_;
};

}  // namespace mimicbox::report
