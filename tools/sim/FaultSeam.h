// The one place where faults meet a device's reports: between the session, which makes each report,
// and its connection, which writes bytes. It decides for each report which fault fires, writes what
// that fault makes of it, and holds a split's second half, and whatever follows it, until its time.
#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/sim/Connection.h"
#include "tools/sim/Fault.h"
#include "tools/sim/Random.h"
#include "tools/sim/Scheduler.h"

namespace mimicbox::sim {

class FaultSeam {
public:
    // The scheduler must outlive the seam; `faults` are this device's, in the order they are tried.
    FaultSeam(Scheduler& scheduler, std::vector<const Fault*> faults, uint64_t seed);

    // The connection reports go to from now on, not owned; null while there is none. Bytes held back
    // for the previous connection are dropped.
    void Attach(Connection* connection);

    // A fault for the next report only, whatever the triggers say.
    void InjectNext(const Fault& fault) { injected_ = fault; }

    struct Sent {
        std::optional<FaultKind> fault;  // the fault that fired, if any
        std::string bytes;               // with a fault: what was or will be written for this report
    };
    // Writes report number `number` (from 1) of the device, made at `sinceStart` into the run; its
    // text `record` goes out with its NUL unless a fault fires.
    Sent Send(const ReportDraft& draft, const std::string& record, uint64_t number, Nanos sinceStart);

private:
    const Fault* Firing(uint64_t number, Nanos sinceStart);
    void Write(std::string_view bytes);
    void OnHeldDue();

    Scheduler& scheduler_;
    std::vector<const Fault*> faults_;
    std::vector<bool> fired_;  // for faults that fire once
    std::optional<Fault> injected_;
    Random random_;
    Connection* connection_ = nullptr;
    std::unique_ptr<Timer> heldTimer_;
    std::string held_;  // bytes that wait for a split's second half to go first
    bool holding_ = false;
};

}  // namespace mimicbox::sim
