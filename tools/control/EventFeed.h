// The run's events for Server-Sent Events clients: the loop appends each event's JSON line with a
// sequence number, and HTTP threads wait for lines from a number on. The only state of the control
// shared between threads, so it holds its own lock.
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

class EventFeed {
public:
    // Keeps the newest `capacity` lines; a client that asks for older ones gets the oldest kept.
    explicit EventFeed(std::size_t capacity) : capacity_(capacity) {}

    // Loop thread: one more line.
    void Push(std::string line);
    // Wakes every waiter for good, for the end of the run.
    void Close();

    // The number the next line will carry.
    uint64_t Next() const;
    // HTTP thread: the lines numbered `from` and later, waiting up to `wait` for one to come. Empty
    // when none came or the feed is closed.
    std::vector<std::pair<uint64_t, std::string>> From(uint64_t from, std::chrono::milliseconds wait);
    bool Closed() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable pushed_;
    std::deque<std::string> lines_;
    uint64_t first_ = 0;  // the number of lines_.front()
    std::size_t capacity_;
    bool closed_ = false;
};

// Feeds every event, as its JSON line, into a feed.
class FeedSink : public sim::EventSink {
public:
    FeedSink(EventFeed& feed, sim::Instant start);
    void OnEvent(const sim::Event& event) override;

private:
    EventFeed& feed_;
    report::JsonLinesSink format_;
};

}  // namespace mimicbox::control
