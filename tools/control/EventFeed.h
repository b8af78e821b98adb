// The run's events for Server-Sent Events clients. The loop appends a copy of each event with a
// sequence number; HTTP threads wait for the events from a number on and make their JSON lines
// themselves, so that the loop pays for a copy and not for the formatting. The only state of the
// control shared between threads, so it holds its own lock.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "tools/report/JsonLinesSink.h"
#include "tools/sim/Event.h"

namespace mimicbox::control {

class EventFeed : public sim::EventSink {
public:
    // Keeps the newest `capacity` events; a client that asks for older ones gets the oldest kept.
    // Lines give their time from `start`, as --log-json does.
    EventFeed(std::size_t capacity, sim::Instant start);

    // Loop thread: one more event.
    void OnEvent(const sim::Event& event) override;
    // Wakes every waiter for good, for the end of the run.
    void Close();

    // The number the next event will carry.
    uint64_t Next() const;
    // HTTP thread: the lines of the events numbered `from` and later, waiting up to `wait` for one
    // to come. Empty when none came or the feed is closed.
    std::vector<std::pair<uint64_t, std::string>> From(uint64_t from, std::chrono::milliseconds wait);
    bool Closed() const;

private:
    // The event, with the texts it points to.
    struct Stored {
        sim::Event event;
        std::string record;
        std::string reason;
    };

    mutable std::mutex mutex_;
    std::condition_variable pushed_;
    std::deque<Stored> events_;
    uint64_t first_ = 0;  // the number of events_.front()
    std::size_t capacity_;
    bool closed_ = false;
    const report::JsonLinesSink format_;
};

}  // namespace mimicbox::control
