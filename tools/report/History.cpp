#include "tools/report/History.h"

#include <algorithm>

#include "link/Record.h"

namespace mimicbox::report {

namespace {

float Ms(sim::Nanos duration) { return static_cast<float>(sim::ToMilliseconds(duration)); }

uint32_t MillisSince(sim::Instant start, sim::Instant at)
{
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(at - start).count();
    return static_cast<uint32_t>(std::clamp<long long>(millis, 0, UINT32_MAX));
}

}  // namespace

SeriesPoint Merge(const SeriesPoint& earlier, const SeriesPoint& later)
{
    SeriesPoint merged = earlier;
    merged.width = earlier.width + later.width;
    merged.connected = later.connected;
    merged.sent += later.sent;
    merged.commands += later.commands;
    merged.disconnects += later.disconnects;
    merged.reconnects += later.reconnects;
    const double before = earlier.sent;
    const double after = later.sent;
    if (before + after > 0)
        merged.p50 = static_cast<float>((earlier.p50 * before + later.p50 * after) / (before + after));
    merged.p99 = std::max(earlier.p99, later.p99);
    merged.max = std::max(earlier.max, later.max);
    for (std::size_t kind = 0; kind < kFaultKindCount; ++kind)
        merged.faults[kind] += later.faults[kind];
    return merged;
}

History::History(sim::Instant start, HistoryLimits limits) : start_(start), limits_(limits)
{
    limits_.samplesPerDevice = std::clamp<std::size_t>(limits_.samplesPerDevice, 1, 64);
    limits_.coarsePoints = std::max<std::size_t>(limits_.coarsePoints, 2);
}

void History::OnEvent(const sim::Event& event)
{
    Advance(event.time);
    Trail& trail = TrailOf(event);
    switch (event.kind) {
    case sim::EventKind::kSent:
        OnSent(trail, event);
        break;
    case sim::EventKind::kReceived:
        ++open_.commands;
        break;
    case sim::EventKind::kConnected:
        OnConnected(trail);
        break;
    case sim::EventKind::kLost:
    case sim::EventKind::kStopped:
    case sim::EventKind::kClosed:
    case sim::EventKind::kRemoved:
        OnDisconnected(trail);
        break;
    default:
        break;
    }
}

History::Trail& History::TrailOf(const sim::Event& event)
{
    if (event.device >= trails_.size())
        trails_.resize(event.device + 1);
    Trail& trail = trails_[event.device];
    trail.identity = event.identity;
    return trail;
}

void History::OnConnected(Trail& trail)
{
    if (trail.connected)
        return;
    trail.connected = true;
    ++connected_;
    if (trail.everConnected)
        ++open_.reconnects;
    trail.everConnected = true;
}

void History::OnDisconnected(Trail& trail)
{
    if (!trail.connected)
        return;
    trail.connected = false;
    --connected_;
    ++open_.disconnects;
}

void History::OnSent(Trail& trail, const sim::Event& event)
{
    ++open_.sent;
    lateness_.Add(event.lateness);
    if (trail.samples.capacity() == 0)
        trail.samples.reserve(limits_.samplesPerDevice);
    const Sample sample{MillisSince(start_, event.time), static_cast<int32_t>(static_cast<uint32_t>(event.clock)),
                        event.value};
    std::size_t slot = trail.next;
    if (trail.samples.size() < limits_.samplesPerDevice)
        trail.samples.push_back(sample);
    else
        trail.samples[slot] = sample;
    trail.next = (slot + 1) % limits_.samplesPerDevice;
    trail.faulted &= ~(uint64_t{1} << slot);
    if (!event.fault)
        return;
    sim::FaultKind kind{};
    if (sim::ParseFaultKind(event.fault, kind))
        ++open_.faults[static_cast<std::size_t>(kind)];
    trail.faulted |= uint64_t{1} << slot;
    faulted_.push_back({event.device, sample.millis, event.fault, std::string(event.record)});
    faultedSize_ += event.record.size();
    while (faultedSize_ > limits_.faultedBytes && !faulted_.empty()) {
        faultedSize_ -= faulted_.front().bytes.size();
        faulted_.pop_front();
    }
}

void History::Advance(sim::Instant now)
{
    // A run's seconds fit 32 bits for 136 years; a clock before the start closes nothing.
    const auto second = std::clamp<long long>(std::chrono::duration_cast<std::chrono::seconds>(now - start_).count(), 0,
                                              UINT32_MAX);
    if (second <= static_cast<long long>(open_.second))
        return;
    CloseSecond();
    // The seconds in which nothing happened are one point, however many: the work follows the events,
    // not the time between them.
    if (second > static_cast<long long>(open_.second)) {
        SeriesPoint empty;
        empty.second = open_.second;
        empty.width = static_cast<uint32_t>(second - open_.second);
        empty.connected = connected_;
        Keep(empty);
        open_.second = static_cast<uint32_t>(second);
    }
}

void History::CloseSecond()
{
    open_.connected = connected_;
    if (lateness_.Count() > 0) {
        open_.p50 = Ms(lateness_.Percentile(0.5));
        open_.p99 = Ms(lateness_.Percentile(0.99));
        open_.max = Ms(lateness_.Max());
    }
    Keep(open_);
    const uint32_t next = open_.second + 1;
    open_ = SeriesPoint{};
    open_.second = next;
    lateness_ = sim::DeviceHistogram{};
}

void History::Keep(const SeriesPoint& point)
{
    fine_.push_back(point);
    if (fine_.size() <= limits_.fineSeconds)
        return;
    const SeriesPoint old = fine_.front();
    fine_.pop_front();
    if (!coarse_.empty() && coarse_.back().width < limits_.coarseWidth)
        coarse_.back() = Merge(coarse_.back(), old);
    else
        coarse_.push_back(old);
    if (coarse_.size() < limits_.coarsePoints)
        return;
    // Full: every two neighbours become one, and points from now on are twice as wide.
    std::deque<SeriesPoint> halved;
    for (std::size_t i = 0; i + 1 < coarse_.size(); i += 2)
        halved.push_back(Merge(coarse_[i], coarse_[i + 1]));
    if (coarse_.size() % 2 == 1)
        halved.push_back(coarse_.back());
    coarse_ = std::move(halved);
    limits_.coarseWidth *= 2;
}

std::vector<SeriesPoint> History::Series() const
{
    std::vector<SeriesPoint> series(coarse_.begin(), coarse_.end());
    series.insert(series.end(), fine_.begin(), fine_.end());
    return series;
}

std::vector<ReportSample> History::Reports(std::size_t device, std::size_t records) const
{
    std::vector<ReportSample> reports;
    if (device >= trails_.size())
        return reports;
    const Trail& trail = trails_[device];
    const std::size_t count = trail.samples.size();
    const std::size_t first = count < limits_.samplesPerDevice ? 0 : trail.next;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t slot = (first + i) % limits_.samplesPerDevice;
        const Sample& sample = trail.samples[slot];
        ReportSample report{sample.millis / 1000.0, sample.value, {}, nullptr};
        if (i + records >= count) {
            // A faulted record whose bytes have left the pool shows none, never a rebuilt one.
            if (!(trail.faulted >> slot & 1)) {
                report.record = Rebuild(trail, sample);
            } else if (const Faulted* kept = FindFaulted(device, sample.millis)) {
                report.record = kept->bytes;
                report.fault = kept->fault;
            }
        }
        reports.push_back(std::move(report));
    }
    return reports;
}

float History::LastValue(std::size_t device) const
{
    if (device >= trails_.size() || trails_[device].samples.empty())
        return 0;
    const Trail& trail = trails_[device];
    const std::size_t count = trail.samples.size();
    return trail.samples[(trail.next + count - 1) % count].value;
}

std::string History::Rebuild(const Trail& trail, const Sample& sample) const
{
    const bool relay = trail.identity.nDeviceType == TYPE_RELAY;
    return FormatReport(trail.identity.nDeviceType, trail.identity.nSerial, sample.clock,
                        relay ? static_cast<int32_t>(sample.value) : 0, relay ? 0.0f : sample.value);
}

const History::Faulted* History::FindFaulted(std::size_t device, uint32_t millis) const
{
    for (auto it = faulted_.rbegin(); it != faulted_.rend(); ++it) {
        if (it->device == device && it->millis == millis)
            return &*it;
    }
    return nullptr;
}

std::size_t History::MemoryBytes() const
{
    std::size_t bytes = sizeof(*this) + (fine_.size() + coarse_.size()) * sizeof(SeriesPoint);
    bytes += trails_.capacity() * sizeof(Trail);
    for (const Trail& trail : trails_)
        bytes += trail.samples.capacity() * sizeof(Sample);
    bytes += faulted_.size() * sizeof(Faulted) + faultedSize_;
    return bytes;
}

}  // namespace mimicbox::report
