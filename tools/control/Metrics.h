// The run's counters in the Prometheus text exposition format: reports and commands by model, faults
// by kind, and the lateness of reports as a histogram. A sink, fed on the loop's thread.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/sim/Event.h"

namespace mimicbox::control {

class Metrics : public sim::EventSink {
public:
    void OnEvent(const sim::Event& event) override;

    // The exposition text, with the gauges of devices in the plant and of those connected.
    std::string Text(std::size_t devices, std::size_t connected) const;

private:
    struct ByModel {
        uint64_t thermo = 0;
        uint64_t relay = 0;
    };
    static constexpr std::array<double, 12> kBounds = {0.0001, 0.0002, 0.0005, 0.001, 0.002, 0.005,
                                                       0.01,   0.02,   0.05,   0.1,   0.5,   1.0};

    void OnConnection(const sim::Event& event);

    ByModel reports_;
    ByModel commands_;
    std::array<uint64_t, kBounds.size()> buckets_{};  // cumulative counts at each bound
    uint64_t latenessCount_ = 0;
    uint64_t missed_ = 0;  // reports more than half a period late, and deadlines skipped
    double latenessSum_ = 0;
    std::map<std::string, uint64_t> faults_;
    // By device number: connected now, and connected at some time before.
    std::vector<bool> connected_;
    std::vector<bool> everConnected_;
    uint64_t disconnects_ = 0;
    uint64_t reconnects_ = 0;
};

}  // namespace mimicbox::control
