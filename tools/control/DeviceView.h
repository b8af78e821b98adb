// What GET /devices shows of a device: a copy taken on the loop's thread, written as JSON later on
// any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/DeviceModel.h"
#include "tools/control/Response.h"
#include "tools/sim/Profile.h"

namespace mimicbox::control {

struct DeviceView {
    DeviceIdentity identity;
    bool connected = false;
    const char* state = "waiting";
    float temperature = 0;
    sim::ProfileKind profile = sim::ProfileKind::kSteps;
    int switchState = 0;
    bool obeying = true;
    double period = 0;  // seconds
    uint64_t reports = 0;
    uint64_t commands = 0;
    std::size_t faultsWaiting = 0;  // live faults not yet applied
    double latenessP99 = 0;         // milliseconds
    double lastReportAge = -1;      // seconds since the last report; -1 before the first
    std::string lastRecord;
};

std::string DeviceJson(const DeviceView& device);

// The devices as a JSON array, written when the answer is rendered.
Response DeviceList(std::vector<DeviceView> devices, int status);

}  // namespace mimicbox::control
