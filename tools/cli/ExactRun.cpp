#include "tools/cli/ExactRun.h"

#include <asio/ip/tcp.hpp>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>
#include <cstdio>

#include "tools/cli/OutputFile.h"
#include "tools/io/DescriptorLimit.h"
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

// Plays the scripts once from `start`, and again after each round when looping.
class Rounds {
public:
    Rounds(asio::io_context& context, const capture::ExactReplay& replay, asio::ip::tcp::endpoint server,
           io::ReplayTally& tally)
        : context_(context), replay_(replay), server_(std::move(server)), tally_(tally), timer_(context)
    {
    }

    void Start(Clock::time_point start)
    {
        for (const capture::ConnectionScript& script : replay_.connections) {
            auto connection = std::make_shared<io::ReplayConnection>(context_, script, server_, start,
                                                                     replay_.settings.rewriteClock, tally_);
            connections_.push_back(connection);
            connection->Start();
        }
        if (!replay_.settings.loop)
            return;
        // The next round starts a second after this one's last event.
        const Clock::time_point next = start + Span(replay_.length + 1.0);
        timer_.expires_at(next);
        timer_.async_wait([this, next](const asio::error_code& error) {
            if (!error)
                Start(next);
        });
    }

    void Stop()
    {
        timer_.cancel();
        for (const auto& connection : connections_)
            if (const auto held = connection.lock())
                held->Stop();
    }

private:
    asio::io_context& context_;
    const capture::ExactReplay& replay_;
    asio::ip::tcp::endpoint server_;
    io::ReplayTally& tally_;
    asio::steady_timer timer_;
    std::vector<std::weak_ptr<io::ReplayConnection>> connections_;
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

}  // namespace

int RunExactReplay(const CliOptions& options)
{
    const capture::ExactReplay& replay = *options.exactReplay;
    asio::io_context context;
    asio::ip::tcp::resolver resolver(context);
    asio::error_code failed;
    const auto found = resolver.resolve(asio::ip::tcp::v4(), options.server, std::to_string(options.port), failed);
    if (failed || found.empty()) {
        std::fprintf(stderr, "mimicbox-cli: cannot find the server %s: %s\n", options.server.c_str(), failed.message().c_str());
        return 1;
    }
    std::string ignored;
    io::RaiseDescriptorLimit(replay.connections.size() + 64, ignored);
    OutputFile junit;
    std::string error;
    if (!options.junit.empty() && !junit.Open(options.junit, error)) {
        std::fprintf(stderr, "mimicbox-cli: %s\n", error.c_str());
        return 2;
    }
    std::printf("replay: exact, %zu connections from %s at speed %g%s\n", replay.connections.size(),
                replay.settings.capture.c_str(), replay.settings.speed, replay.settings.loop ? ", looping" : "");
    std::fflush(stdout);

    io::ReplayTally tally;
    Rounds rounds(context, replay, *found.begin(), tally);
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

    std::printf("replayed %llu connections (%llu could not connect): %llu chunks, %llu bytes sent; %llu records "
                "received\n",
                static_cast<unsigned long long>(tally.connections), static_cast<unsigned long long>(tally.failedConnects),
                static_cast<unsigned long long>(tally.chunks), static_cast<unsigned long long>(tally.bytes),
                static_cast<unsigned long long>(tally.received));
    const std::vector<sim::VerdictResult> results = Compare(replay, tally);
    std::fputs(report::VerdictLines(results).c_str(), stdout);
    if (junit.Get())
        std::fputs(report::JUnitXml(results, "mimicbox-cli", seconds).c_str(), junit.Get());
    if (std::any_of(results.begin(), results.end(), [](const sim::VerdictResult& result) { return !result.passed; }))
        return 3;
    return tally.failedConnects > 0 ? 1 : 0;
}

}  // namespace mimicbox::cli
