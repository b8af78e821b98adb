// One device's life on its connection: connect (after a start delay), report at fixed deadlines from
// the moment of the connection, act on what the server sends, and after a failed or lost connection
// try again with backoff, or give up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tools/sim/Action.h"
#include "tools/sim/Connection.h"
#include "tools/sim/Device.h"
#include "tools/sim/Event.h"
#include "tools/sim/FaultSeam.h"
#include "tools/sim/Random.h"
#include "tools/sim/Scheduler.h"

namespace mimicbox::sim {

struct SessionPolicy {
    Nanos reconnect{0};        // the backoff's base; 0: a failed or lost connection is final
    uint64_t reportLimit = 0;  // reports before the device is done; 0 for no limit
};

class Session final : public ConnectionHandler {
public:
    // The scheduler, factory and sink are not owned and must outlive the session. `onFinished` is
    // called once, when the device is done or gives up.
    // `faults` are this device's, owned by the caller and outliving the session.
    Session(std::size_t index, Device device, const SessionPolicy& policy, Scheduler& scheduler,
            ConnectionFactory& connections, EventSink& sink, std::vector<TableFault> faults, uint64_t seed,
            std::function<void()> onFinished);
    ~Session() override;

    // Connects at `at` (at once when it has passed).
    void Start(Instant at);
    // Ends the connection in an orderly way, after a record it has started, and stops every timer;
    // the session does nothing more.
    void Stop();
    // Applies a timed or live action at once; ignored when it does not fit the model, and once the
    // device is done, has given up or is stopped.
    void Apply(const Action& action);
    // The next report that no earlier live fault takes goes out with this fault, whatever the triggers
    // say; its event carries `id`.
    void InjectFault(const Fault& fault, uint64_t id = 0) { seam_.InjectNext(fault, id); }
    std::size_t FaultsWaiting() const { return seam_.Injected(); }

    bool Finished() const { return state_ == State::kDone || state_ == State::kGaveUp; }
    bool Connected() const
    {
        return state_ == State::kConnected || state_ == State::kFinishing || state_ == State::kDone;
    }
    // "waiting", "connecting", "connected", "silenced", "backing off", "closed", "done", "gave up" or
    // "stopped", as of `now`.
    const char* StateName(Instant now) const;
    // Whether the device connected at least once.
    bool EverConnected() const { return everConnected_; }
    const Device& GetDevice() const { return device_; }

    // ConnectionHandler
    void OnConnected() override;
    void OnConnectFailed(std::string_view reason) override;
    void OnChunk(std::string_view chunk) override;
    void OnLost(std::string_view reason) override;

private:
    // kAway: closed by an action, waiting for a reconnect. kFinishing: the last report is sent, but a
    // split's second half still waits for its time.
    enum class State { kIdle, kWaiting, kConnecting, kConnected, kFinishing, kDone, kGaveUp, kStopped, kAway };

    void OnTimer();
    void Connect();
    void SendReport();
    void OnTailWritten();
    // Ends the connection (FIN, or RST when `reset`) and the pending timer.
    void HangUp(bool reset);
    void GoAway(bool reset);
    void Reconnect();
    void ChangePeriod(Nanos period);
    void ScheduleReport(Instant now);
    void Retry(EventKind kind, std::string_view reason);
    void Finish(State state);
    Event MakeEvent(EventKind kind) const;

    std::size_t index_;
    Device device_;
    SessionPolicy policy_;
    Scheduler& scheduler_;
    ConnectionFactory& connections_;
    EventSink& sink_;
    Random random_;
    std::function<void()> onFinished_;
    std::unique_ptr<Timer> timer_;
    std::unique_ptr<Connection> connection_;
    FaultSeam seam_;
    State state_ = State::kIdle;
    int attempt_ = 0;
    Instant runStart_{};
    Instant connectedAt_{};
    Instant due_{};
    Instant silentUntil_{};
    int64_t tick_ = 0;
    uint64_t reports_ = 0;
    bool everConnected_ = false;
};

}  // namespace mimicbox::sim
