// The run's history in bounded memory, for the dashboard and the HTML report: the plant's series at
// one point a second for the last hour and coarser before it, and each device's recent reports (its
// values over time and its last records exactly as sent). A sink of the run's events, on its loop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "tools/report/SeriesPoint.h"
#include "tools/sim/Event.h"
#include "tools/sim/Histogram.h"

namespace mimicbox::report {

struct HistoryLimits {
    std::size_t fineSeconds = 3600;   // points of one second kept
    std::size_t coarsePoints = 1440;  // points kept before them; pairs merge when full
    uint32_t coarseWidth = 60;        // seconds of a coarse point at first
    std::size_t samplesPerDevice = 64;
    std::size_t faultedBytes = 2 << 20;  // faulted records' bytes kept over all devices
};

// One report of a device as the history keeps it.
struct ReportSample {
    double time = 0;  // seconds from the run's start
    float value = 0;  // temperature, or the switch as 0 or 1
    std::string record;  // exactly as sent, without the NUL; empty when no longer held
    const char* fault = nullptr;
};

class History : public sim::EventSink {
public:
    explicit History(sim::Instant start, HistoryLimits limits = {});

    void OnEvent(const sim::Event& event) override;
    // Closes every second that ended by `now`; the seconds after the last event in which nothing
    // happened become one point of their own width.
    void Advance(sim::Instant now);

    // The closed points, oldest first: coarse ones, then one a second.
    std::vector<SeriesPoint> Series() const;
    // The device's recent reports, oldest first; the last `records` of them carry their bytes.
    std::vector<ReportSample> Reports(std::size_t device, std::size_t records = 20) const;
    // The device's last reported value: its temperature, or the switch as 0 or 1; 0 before any.
    float LastValue(std::size_t device) const;
    // The history's own memory, in bytes.
    std::size_t MemoryBytes() const;

private:
    struct Sample {
        uint32_t millis;  // from the run's start
        int32_t clock;    // the record's clock, as printed
        float value;
    };
    struct Trail {
        std::vector<Sample> samples;  // a ring once full
        std::size_t next = 0;
        uint64_t faulted = 0;  // a bit per slot: its bytes are in faulted_, not rebuilt from the sample
        DeviceIdentity identity{};
        bool connected = false;
        bool everConnected = false;
    };
    struct Faulted {
        std::size_t device;
        uint32_t millis;
        const char* fault;
        std::string bytes;
    };

    void CloseSecond();
    void Keep(const SeriesPoint& point);
    void OnSent(Trail& trail, const sim::Event& event);
    void OnConnected(Trail& trail);
    void OnDisconnected(Trail& trail);
    Trail& TrailOf(const sim::Event& event);
    std::string Rebuild(const Trail& trail, const Sample& sample) const;
    const Faulted* FindFaulted(std::size_t device, uint32_t millis) const;

    sim::Instant start_;
    HistoryLimits limits_;
    std::vector<Trail> trails_;
    std::deque<Faulted> faulted_;
    std::size_t faultedSize_ = 0;
    std::deque<SeriesPoint> fine_;
    std::deque<SeriesPoint> coarse_;
    SeriesPoint open_;  // the second now running
    sim::DeviceHistogram lateness_;
    uint32_t connected_ = 0;
};

}  // namespace mimicbox::report
