// The one place where faults meet a device's reports: between the session, which makes each report,
// and its connection, which writes bytes. It decides for each report which fault fires, writes what
// that fault makes of it, and holds a split's second half, and whatever follows it, until its time.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/sim/Connection.h"
#include "tools/sim/Fault.h"
#include "tools/sim/Random.h"
#include "tools/sim/Scheduler.h"

namespace mimicbox::sim {

// A fault of the scenario as one device meets it: the fault and its [[fault]] table's number (from 1).
struct TableFault {
    const Fault* fault = nullptr;
    std::size_t table = 0;
};

// Where a fault that fired came from: a scenario table, or the live control (by the id it was given).
struct FaultOrigin {
    std::size_t table = 0;  // from 1; 0 for a live fault
    uint64_t live = 0;      // from 1; 0 for a table's
};

class FaultSeam {
public:
    // The scheduler must outlive the seam; `faults` are this device's, in the order they are tried.
    FaultSeam(Scheduler& scheduler, std::vector<TableFault> faults, uint64_t seed);

    // The connection reports go to from now on, not owned; null while there is none. Bytes held back
    // for the previous connection are dropped: they cannot reach the server any more.
    void Attach(Connection* connection);

    // A fault for one report only, whatever the triggers say: the next report that no earlier live
    // fault takes. `id` names it in the report's event.
    void InjectNext(const Fault& fault, uint64_t id = 0) { injected_.push_back({fault, id}); }
    std::size_t Injected() const { return injected_.size(); }

    struct Sent {
        std::optional<FaultKind> fault;  // the fault that fired, if any
        FaultOrigin origin;
        std::string bytes;               // with a fault: what was or will be written for this report
    };
    // Writes report number `number` (from 1) of the device, made at `sinceStart` into the run; its
    // text `record` goes out with its NUL unless a fault fires.
    Sent Send(const ReportDraft& draft, const std::string& record, uint64_t number, Nanos sinceStart);

    // Whether bytes wait for a split's second half to be due.
    bool Holding() const { return holding_; }
    // Writes what is held at once, so that an orderly close never cuts a record the run has started.
    void Flush();
    // Called each time held bytes have gone out at their own time.
    void OnReleased(std::function<void()> released) { onReleased_ = std::move(released); }

private:
    struct LiveFault {
        Fault fault;
        uint64_t id = 0;
    };
    struct Firing {
        const Fault* fault = nullptr;
        FaultOrigin origin;
    };

    Firing Choose(uint64_t number, Nanos sinceStart);
    void Write(std::string_view bytes);
    void OnHeldDue();

    Scheduler& scheduler_;
    std::vector<TableFault> faults_;
    std::vector<bool> applied_;  // for faults that fire once
    std::deque<LiveFault> injected_;
    std::optional<LiveFault> current_;  // the live fault being applied
    Random random_;
    Connection* connection_ = nullptr;
    std::unique_ptr<Timer> heldTimer_;
    std::string held_;  // bytes that wait for a split's second half to go first
    bool holding_ = false;
    std::function<void()> onReleased_;
};

}  // namespace mimicbox::sim
