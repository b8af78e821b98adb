// The run's events for Server-Sent Events clients. The loop appends a copy of each event with a
// sequence number; the HTTP thread takes the events from a number on and makes their JSON lines
// itself, so that the loop pays for a copy and not for the formatting. The only state of the control
// shared between threads, so it holds its own lock.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "tools/report/JsonLinesSink.h"
#include "tools/sim/Event.h"

namespace mimicbox::control {

// Which events a client of the feed wants: the dashboard's log leaves out the reports (but not those
// a fault took), and a device's panel asks for that device alone.
struct EventFilter {
    bool reports = true;  // the reports the devices send without a fault
    const DeviceIdentity* device = nullptr;

    bool Admits(const sim::Event& event) const;
};

class EventFeed : public sim::EventSink {
public:
    // Keeps the newest `capacity` events; a client that asks for older ones gets the oldest kept.
    // Lines give their time from `start`, as --log-json does.
    EventFeed(std::size_t capacity, sim::Instant start);

    // One more event; wakes whoever waits for it.
    void OnEvent(const sim::Event& event) override;
    // No event comes after this; wakes whoever waits, for the end.
    void Close();

    // The number the next event will carry.
    uint64_t Next() const;
    // The lines of at most `most` events from number `from` on, formatted on the caller's thread.
    std::vector<std::pair<uint64_t, std::string>> Take(uint64_t from, std::size_t most) const;
    // The same for the events the filter admits; `next` gets the number to go on from, past the
    // events looked at, which are at most a few thousand a call.
    std::vector<std::pair<uint64_t, std::string>> Take(uint64_t from, std::size_t most, const EventFilter& filter,
                                                       uint64_t& next) const;
    bool Closed() const;
    // Calls `wake` once, from the thread that appends or closes, when an event from `from` on is kept
    // (one that is no report, unless `reports`) or the feed closes. False, calling nothing, when there
    // is one already or the feed is closed.
    bool WaitFor(uint64_t from, std::function<void()> wake, bool reports = true);

private:
    // The event, with the texts it points to.
    struct Stored {
        sim::Event event;
        std::string record;
        std::string reason;
    };
    void WakeAll(std::unique_lock<std::mutex>& lock, bool report);
    std::vector<std::pair<uint64_t, Stored>> Copy(uint64_t from, std::size_t most, const EventFilter& filter,
                                                  uint64_t& next) const;

    mutable std::mutex mutex_;
    std::deque<Stored> events_;
    uint64_t first_ = 0;  // the number of events_.front()
    std::size_t capacity_;
    bool closed_ = false;
    // The numbers of the kept events that are no reports: a client that wants no reports reads and
    // waits on these alone, so that the reports, most of a run's events, cost it nothing.
    std::deque<uint64_t> others_;
    std::vector<std::function<void()>> waiting_;
    std::vector<std::function<void()>> waitingForOthers_;
    const report::JsonLinesSink format_;
};

}  // namespace mimicbox::control
