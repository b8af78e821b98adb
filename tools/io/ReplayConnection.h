// One connection of an exact replay: connects when its script says, sends each recorded chunk at its
// time through its own write queue (a chunk never overtakes the one before it), half-closes, resets
// or closes as recorded, and keeps the records the server sends it with their times.
#pragma once

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <chrono>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tools/capture/ExactReplay.h"
#include "tools/capture/RecordRewriter.h"
#include "tools/io/RecordFramer.h"
#include "tools/sim/RecordedCommands.h"

namespace mimicbox::io {

// Every connection due is counted once: connected, failed, or still waiting or connecting at the end.
struct ReplayTally {
    uint64_t connections = 0;
    uint64_t failedConnects = 0;
    std::string firstFailure;        // why the first connect that failed did
    uint64_t stillConnecting = 0;    // the run ended before the server took them
    uint64_t notStarted = 0;         // due, but the run ended before their connect
    uint64_t chunks = 0;
    uint64_t bytes = 0;
    uint64_t received = 0;           // records from the server
    sim::RecordedCommands commands;  // what the server sent, by device, since the device first connected
    std::map<std::string, std::chrono::steady_clock::time_point> firstConnected;
};

class ReplayConnection : public std::enable_shared_from_this<ReplayConnection> {
public:
    using Clock = std::chrono::steady_clock;
    ReplayConnection(asio::io_context& context, const capture::ConnectionScript& script, asio::ip::tcp::endpoint server,
                     Clock::time_point start, bool rewriteClock, ReplayTally& tally);
    void Start();
    // Ends the connection; one not yet connected is counted as still connecting or not started.
    void Stop();
    bool Ended() const { return state_ == State::kEnded; }

private:
    enum class State { kWaiting, kConnecting, kConnected, kEnded };

    void Connect();
    void NextStep();
    void Do(const capture::ScriptStep& step);
    void Send(std::string bytes);
    void Flush();
    void Read();
    void End();
    Clock::time_point When(double seconds) const;

    const capture::ConnectionScript& script_;
    asio::ip::tcp::socket socket_;
    asio::steady_timer timer_;
    asio::ip::tcp::endpoint server_;
    Clock::time_point start_;
    capture::RecordRewriter rewriter_;
    RecordFramer framer_{capture::kLongestRecord};
    ReplayTally& tally_;
    std::deque<std::string> queue_;
    std::array<char, 8192> input_{};
    std::size_t step_ = 0;
    bool writing_ = false;
    bool halfClosePending_ = false;
    State state_ = State::kWaiting;
};

}  // namespace mimicbox::io
