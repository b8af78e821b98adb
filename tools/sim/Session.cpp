#include "tools/sim/Session.h"

#include "tools/sim/Backoff.h"
#include "tools/sim/ReceivedRecords.h"

namespace mimicbox::sim {

namespace {

constexpr Nanos kDeadlineGrid = std::chrono::milliseconds(1);

}  // namespace

Session::Session(std::size_t index, Device device, const SessionPolicy& policy, Scheduler& scheduler,
                 ConnectionFactory& connections, EventSink& sink, std::vector<TableFault> faults, uint64_t seed,
                 std::function<void()> onFinished)
    : index_(index), device_(std::move(device)), policy_(policy), scheduler_(scheduler), connections_(connections),
      sink_(sink), random_(seed), onFinished_(std::move(onFinished)),
      timer_(scheduler.CreateTimer([this] { OnTimer(); })), seam_(scheduler, std::move(faults), seed * 31 + 7)
{
    seam_.OnReleased([this] { OnTailWritten(); });
}

Session::~Session() = default;

void Session::Start(Instant at)
{
    if (state_ != State::kIdle)
        return;
    state_ = State::kWaiting;
    runStart_ = scheduler_.Now();
    timer_->Start(at);
}

void Session::Stop()
{
    const bool connected = Connected();
    HangUp(false);
    if (connected)
        sink_.OnEvent(MakeEvent(EventKind::kStopped));
    state_ = State::kStopped;
}

void Session::Apply(const Action& action)
{
    if (state_ == State::kIdle || state_ == State::kFinishing || state_ == State::kDone || state_ == State::kGaveUp ||
        state_ == State::kStopped || !ActionAppliesTo(action.kind, device_.Identity().nDeviceType))
        return;
    Event event = MakeEvent(EventKind::kAction);
    event.action = ActionKindName(action.kind);
    if (action.kind == ActionKind::kSetProfile)
        event.profile = ProfileKindName(action.profile.kind);
    // A set ends a sine or a table; the event says so, as the answer to a live set does.
    if (action.kind == ActionKind::kSetTemperature && ProfileIsAbsolute(device_.GetProfile().kind))
        event.reason = device_.GetProfile().kind == ProfileKind::kSine ? "ended the sine profile"
                                                                       : "ended the csv profile";
    sink_.OnEvent(event);
    switch (action.kind) {
    case ActionKind::kDisconnect:
    case ActionKind::kReset:
        GoAway(action.kind == ActionKind::kReset);
        break;
    case ActionKind::kSilence:
        silentUntil_ = scheduler_.Now() + Seconds(action.seconds);
        break;
    case ActionKind::kReconnect:
        Reconnect();
        break;
    case ActionKind::kSetTemperature:
        device_.SetTemperature(action.temperature);
        break;
    case ActionKind::kSetProfile:
        device_.SetProfile(action.profile);
        break;
    case ActionKind::kSetSwitch:
        device_.SetSwitch(action.change == SwitchChange::kToggle ? ToggleSwitch(device_.SwitchState())
                                                                 : action.change == SwitchChange::kOn);
        break;
    case ActionKind::kSetPeriod:
        ChangePeriod(Seconds(action.seconds));
        break;
    case ActionKind::kIgnoreCommands:
    case ActionKind::kObeyCommands:
        device_.SetObeying(action.kind == ActionKind::kObeyCommands);
        break;
    }
}

void Session::HangUp(bool reset)
{
    timer_->Cancel();
    // An orderly close lets a started record end first; a reset cuts it, as a reset does.
    if (!reset)
        seam_.Flush();
    seam_.Attach(nullptr);
    if (connection_ && reset)
        connection_->Reset();
    else if (connection_)
        connection_->Close();
    connection_.reset();
}

void Session::GoAway(bool reset)
{
    const bool connected = state_ == State::kConnected;
    HangUp(reset);
    state_ = State::kAway;
    if (connected) {
        Event event = MakeEvent(EventKind::kClosed);
        event.reason = reset ? "reset" : "disconnect";
        sink_.OnEvent(event);
    }
}

void Session::Reconnect()
{
    if (state_ == State::kConnected || state_ == State::kConnecting)
        GoAway(false);
    attempt_ = 0;
    state_ = State::kWaiting;
    timer_->Start(scheduler_.Now());
}

void Session::ChangePeriod(Nanos period)
{
    device_.SetPeriod(period);
    // The pending report keeps its deadline; the ones after it follow the new period from there.
    if (state_ == State::kConnected) {
        connectedAt_ = due_;
        tick_ = 0;
    }
}

void Session::OnTimer()
{
    if (state_ == State::kWaiting)
        Connect();
    else if (state_ == State::kConnected)
        SendReport();
}

void Session::Connect()
{
    state_ = State::kConnecting;
    connection_ = connections_.Create(index_, *this);
    connection_->Open();
}

void Session::OnConnected()
{
    if (state_ != State::kConnecting)
        return;
    state_ = State::kConnected;
    everConnected_ = true;
    attempt_ = 0;
    // Deadlines on a whole millisecond: the devices that share one are served by one wake-up of the
    // loop, which is what lets one process carry a large plant.
    connectedAt_ = RoundUp(scheduler_.Now(), kDeadlineGrid);
    tick_ = 0;
    seam_.Attach(connection_.get());
    sink_.OnEvent(MakeEvent(EventKind::kConnected));
    ScheduleReport(connectedAt_);
}

void Session::ScheduleReport(Instant now)
{
    // Fixed deadlines from the connection keep the period from drifting. Deadlines the loop has
    // already passed by a whole period are skipped, not sent in a burst.
    const Nanos period = device_.Period();
    ++tick_;
    due_ = connectedAt_ + period * tick_;
    if (due_ + period <= now) {
        tick_ = (now - connectedAt_) / period + 1;
        due_ = connectedAt_ + period * tick_;
    }
    timer_->Start(due_);
}

void Session::SendReport()
{
    const Instant now = scheduler_.Now();
    if (now < silentUntil_) {
        ScheduleReport(now);
        return;
    }
    const Nanos period = device_.Period();
    Event event = MakeEvent(EventKind::kSent);
    event.time = now;
    const int64_t calendarSeconds = scheduler_.CalendarSeconds();
    const std::string text = device_.NextReport(calendarSeconds, due_);
    event.scheduled = due_;
    event.lateness = now - due_;
    event.missed = event.lateness * 2 > period;
    const int64_t tickBefore = tick_;
    ++reports_;
    const ReportDraft draft{device_.Identity(), calendarSeconds, device_.SwitchState(), device_.PrintedTemperature()};
    event.clock = calendarSeconds;
    event.value = device_.Identity().nDeviceType == TYPE_RELAY ? static_cast<float>(draft.switchState) : draft.temperature;
    const FaultSeam::Sent sent = seam_.Send(draft, text, reports_, now - runStart_);
    // A faulted report is logged as the bytes it became, less the one NUL that ends it.
    std::string_view written = sent.fault ? std::string_view(sent.bytes) : std::string_view(text);
    if (sent.fault) {
        event.fault = FaultKindName(*sent.fault);
        event.faultTable = sent.origin.table;
        event.liveFault = sent.origin.live;
        if (!written.empty() && written.back() == '\0')
            written.remove_suffix(1);
    }
    event.record = written;
    if (policy_.reportLimit != 0 && reports_ >= policy_.reportLimit) {
        sink_.OnEvent(event);
        // The device is done once its last record has wholly gone out, at its own time.
        if (seam_.Holding())
            state_ = State::kFinishing;
        else
            Finish(State::kDone);
        return;
    }
    ScheduleReport(now);
    event.skipped = static_cast<int>(tick_ - tickBefore - 1);
    sink_.OnEvent(event);
}

void Session::OnTailWritten()
{
    if (state_ == State::kFinishing && !seam_.Holding())
        Finish(State::kDone);
}

void Session::OnChunk(std::string_view chunk)
{
    if (!Connected())
        return;
    const Device::ChunkResult result = device_.OnChunk(chunk);
    TellReceived(chunk, result.records, device_.Obeying(), [this] { return MakeEvent(EventKind::kReceived); }, sink_);
}

void Session::OnConnectFailed(std::string_view reason)
{
    if (state_ == State::kConnecting)
        Retry(EventKind::kConnectFailed, reason);
}

void Session::OnLost(std::string_view reason)
{
    if (Connected())
        Retry(EventKind::kLost, reason);
}

void Session::Retry(EventKind kind, std::string_view reason)
{
    timer_->Cancel();
    seam_.Attach(nullptr);
    connection_.reset();
    const State was = state_;
    Event event = MakeEvent(kind);
    event.reason = reason;
    sink_.OnEvent(event);
    if (was == State::kDone)
        return;
    if (was == State::kFinishing) {
        Finish(State::kDone);
        return;
    }
    if (policy_.reconnect <= Nanos(0)) {
        sink_.OnEvent(MakeEvent(EventKind::kGaveUp));
        Finish(State::kGaveUp);
        return;
    }
    state_ = State::kWaiting;
    timer_->Start(scheduler_.Now() + BackoffDelay(policy_.reconnect, attempt_++, random_));
}

const char* Session::StateName(Instant now) const
{
    switch (state_) {
    case State::kIdle:
        return "waiting";
    case State::kWaiting:
        return attempt_ > 0 ? "backing off" : "waiting";
    case State::kConnecting:
        return "connecting";
    case State::kConnected:
    case State::kFinishing:
        return now < silentUntil_ ? "silenced" : "connected";
    case State::kAway:
        return "closed";
    case State::kDone:
        return "done";
    case State::kGaveUp:
        return "gave up";
    case State::kStopped:
        return "stopped";
    }
    return "waiting";
}

void Session::Finish(State state)
{
    state_ = state;
    if (onFinished_)
        onFinished_();
}

Event Session::MakeEvent(EventKind kind) const
{
    Event event{};
    event.kind = kind;
    event.device = index_;
    event.identity = device_.Identity();
    event.time = scheduler_.Now();
    event.calendarMillis = scheduler_.CalendarMillis();
    return event;
}

}  // namespace mimicbox::sim
