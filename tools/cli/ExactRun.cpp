#include "tools/cli/ExactRun.h"

#include <asio/ip/tcp.hpp>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>
#include <cstdio>

#include "tools/cli/OutputFile.h"
#include "tools/io/DescriptorLimit.h"
#include "tools/io/HostResolver.h"
#include "tools/io/ReplayConnection.h"
#include "tools/io/StopSignals.h"
#include "tools/report/JUnit.h"

namespace mimicbox::cli {

namespace {

using Clock = std::chrono::steady_clock;

Clock::duration Span(double seconds)
{
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

// How long before its time a connection is made ready: the timer's own lateness is then no delay.
constexpr auto kLead = std::chrono::milliseconds(5);
using io::kSpareDescriptors;

// Plays the scripts once from `start`, and again after each round when looping. A connection exists
// only from its connect to its end, so memory follows the connections open, not the capture's size.
class Rounds {
public:
    Rounds(asio::io_context& context, const capture::ExactReplay& replay, asio::ip::tcp::endpoint server,
           io::ReplayTally& tally)
        : context_(context), replay_(replay), server_(std::move(server)), tally_(tally), round_(context), feed_(context)
    {
    }

    void Start(Clock::time_point start)
    {
        // What the last round left open ends with it: the recording ended there too.
        EndLive();
        start_ = start;
        next_ = 0;
        Feed();
        if (!replay_.settings.loop)
            return;
        // The next round starts a second after this one's last event.
        const Clock::time_point next = start + Span(replay_.length + 1.0);
        round_.expires_at(next);
        round_.async_wait([this, next](const asio::error_code& error) {
            if (!error)
                Start(next);
        });
    }

    // Ends every connection; returns how many of this round's were not yet due.
    std::size_t Stop()
    {
        round_.cancel();
        feed_.cancel();
        EndLive();
        return replay_.connections.size() - next_;
    }

private:
    // Makes the connections due within the lead, then waits for the next one.
    void Feed()
    {
        const auto& scripts = replay_.connections;
        const Clock::time_point soon = Clock::now() + kLead;
        for (; next_ < scripts.size() && start_ + Span(scripts[next_].connectAt) <= soon; ++next_) {
            // Not make_shared: a weak_ptr left in the list must not keep the connection's buffers.
            std::shared_ptr<io::ReplayConnection> connection(new io::ReplayConnection(
                context_, scripts[next_], server_, start_, replay_.settings.rewriteClock, tally_));
            Keep(connection);
            connection->Start();
        }
        if (next_ == scripts.size())
            return;
        feed_.expires_at(start_ + Span(scripts[next_].connectAt) - kLead);
        feed_.async_wait([this](const asio::error_code& error) {
            if (!error)
                Feed();
        });
    }

    void Keep(const std::shared_ptr<io::ReplayConnection>& connection)
    {
        if (live_.size() >= 2 * compacted_ + 64) {
            std::erase_if(live_, [](const std::weak_ptr<io::ReplayConnection>& held) { return held.expired(); });
            compacted_ = live_.size();
        }
        live_.push_back(connection);
    }

    void EndLive()
    {
        for (const auto& connection : live_)
            if (const auto held = connection.lock())
                held->Stop();
        live_.clear();
        compacted_ = 0;
    }

    asio::io_context& context_;
    const capture::ExactReplay& replay_;
    asio::ip::tcp::endpoint server_;
    io::ReplayTally& tally_;
    asio::steady_timer round_;
    asio::steady_timer feed_;
    Clock::time_point start_{};
    std::size_t next_ = 0;
    std::vector<std::weak_ptr<io::ReplayConnection>> live_;
    std::size_t compacted_ = 0;
};

std::vector<sim::VerdictResult> Compare(const capture::ExactReplay& replay, const io::ReplayTally& tally)
{
    std::vector<sim::VerdictResult> results;
    if (!replay.sameCommands)
        return results;
    static const std::vector<sim::TimedRecord> kNone;
    for (const auto& [device, recorded] : *replay.commands) {
        const auto seen = tally.commands.find(device);
        const auto difference = sim::FirstDifference(recorded, seen == tally.commands.end() ? kNone : seen->second,
                                                     *replay.sameCommands);
        results.push_back({device, "same commands as the recording", !difference,
                           difference ? *difference : std::to_string(recorded.size()) + " records alike", true});
    }
    return results;
}

// Every connection open at once needs a descriptor: refused before anything connects, as a plant is.
bool FitsDescriptors(const capture::ExactReplay& replay, std::string& error)
{
    const std::size_t peak = capture::PeakConnections(replay);
    std::string ignored;
    io::RaiseDescriptorLimit(peak + kSpareDescriptors, ignored);
    const std::size_t room = io::DescriptorRoom(kSpareDescriptors, SIZE_MAX);
    if (peak <= room)
        return true;
    error = "the replay holds " + std::to_string(peak) + " connections open at once at its busiest, copies included, "
            "and the descriptor limit has room for " + std::to_string(room) + " (" + std::to_string(kSpareDescriptors) +
            " kept for the program): raise it with ulimit -n, or play fewer copies or a shorter window (from, to)";
    return false;
}

// Each connection due is told once: connected, failed, or cut short by the end of the run.
std::string TallyText(const io::ReplayTally& tally, std::size_t notDue)
{
    const uint64_t due = tally.connections + tally.failedConnects + tally.stillConnecting + tally.notStarted;
    std::string text = "replayed " + std::to_string(due) + " connections: " + std::to_string(tally.connections) +
                       " connected, " + std::to_string(tally.failedConnects) + " could not connect";
    if (!tally.firstFailure.empty())
        text += " (" + tally.firstFailure + ")";
    text += ", " + std::to_string(tally.stillConnecting + tally.notStarted) + " still connecting at the end";
    if (notDue > 0)
        text += "; " + std::to_string(notDue) + " later in the capture, not reached";
    return text + "\n" + std::to_string(tally.chunks) + " chunks, " + std::to_string(tally.bytes) + " bytes sent; " +
           std::to_string(tally.received) + " records received\n";
}

}  // namespace

int RunExactReplay(const CliOptions& options)
{
    const capture::ExactReplay& replay = *options.exactReplay;
    std::string error;
    if (!FitsDescriptors(replay, error)) {
        std::fprintf(stderr, "mimicbox-cli: %s\n", error.c_str());
        return 2;
    }
    asio::io_context context;
    asio::ip::tcp::resolver resolver(context);
    asio::error_code failed;
    const auto found = resolver.resolve(options.server, std::to_string(options.port), failed);
    const auto server = failed ? std::nullopt : io::HostResolver::Choose(found, std::nullopt);
    if (!server) {
        std::fprintf(stderr, "mimicbox-cli: cannot find the server %s: %s\n", options.server.c_str(),
                     (failed ? failed : asio::error::host_not_found).message().c_str());
        return 1;
    }
    OutputFile junit;
    if (!options.junit.empty() && !junit.Open(options.junit, error)) {
        std::fprintf(stderr, "mimicbox-cli: %s\n", error.c_str());
        return 2;
    }
    std::printf("replay: exact, %zu connections from %s at speed %g%s\n", replay.connections.size(),
                replay.settings.capture.c_str(), replay.settings.speed, replay.settings.loop ? ", looping" : "");
    std::fflush(stdout);

    io::ReplayTally tally;
    Rounds rounds(context, replay, *server, tally);
    asio::steady_timer end(context);
    io::StopSignals signals(context, [&] {
        end.cancel();
        rounds.Stop();
        // After the handler, which waits for a second signal once more.
        asio::post(context, [&] { signals.Cancel(); });
    });
    const Clock::time_point start = Clock::now() + std::chrono::milliseconds(20);
    rounds.Start(start);
    // Without a duration, the run ends a second after the capture's last event, for late answers.
    const double seconds = options.plant.duration.count() > 0 ? std::chrono::duration<double>(options.plant.duration).count()
                           : replay.settings.loop        ? 0
                                                         : replay.length + 1.0;
    if (seconds > 0) {
        end.expires_at(start + Span(seconds));
        end.async_wait([&](const asio::error_code& stopped) {
            if (stopped)
                return;
            rounds.Stop();
            signals.Cancel();
        });
    }
    context.run();

    const std::size_t notDue = rounds.Stop();
    std::fputs(TallyText(tally, notDue).c_str(), stdout);
    const std::vector<sim::VerdictResult> results = Compare(replay, tally);
    std::fputs(report::VerdictLines(results, options.verbose).c_str(), stdout);
    if (junit.Get())
        std::fputs(report::JUnitXml(results, "mimicbox-cli", seconds).c_str(), junit.Get());
    if (std::any_of(results.begin(), results.end(), [](const sim::VerdictResult& result) { return !result.passed; }))
        return 3;
    return tally.failedConnects + tally.stillConnecting + tally.notStarted > 0 ? 1 : 0;
}

}  // namespace mimicbox::cli
