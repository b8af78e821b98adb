// Faults given through the control API, and their answers: each is answered when it has fired, on
// its device's next report, with that report's event. A fault that has not fired within the wait (a
// device away, silenced or done) is answered 202, and the event stream still tells when it fires.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "tools/control/Response.h"
#include "tools/report/JsonLinesSink.h"
#include "tools/sim/Event.h"
#include "tools/sim/Scheduler.h"

namespace mimicbox::control {

class LiveFaults : public sim::EventSink {
public:
    // Event times count from `start`, as the log's do. The scheduler must outlive this.
    LiveFaults(sim::Scheduler& scheduler, sim::Instant start, sim::Nanos wait = std::chrono::seconds(10));

    // The id for a fault given to `device`, whose answer `reply` waits until it fires.
    uint64_t Expect(const std::string& device, const char* kind, Reply reply);
    // Answers every fault still waiting: the run is ending.
    void EndRun();

    // Answers a fault when a report carries it.
    void OnEvent(const sim::Event& event) override;

private:
    struct Waiting {
        std::string device;
        const char* kind;
        Reply reply;
        std::unique_ptr<sim::Timer> timer;
    };
    void Pending(uint64_t id, const char* why);

    sim::Scheduler& scheduler_;
    sim::Nanos wait_;
    report::JsonLinesSink format_;
    std::map<uint64_t, Waiting> waiting_;
    // Timers of faults answered from their own call, destroyed on the next call instead.
    std::vector<std::unique_ptr<sim::Timer>> retired_;
    uint64_t nextId_ = 1;
};

}  // namespace mimicbox::control
