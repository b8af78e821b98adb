// mimicbox-cli: simulated devices without a window, for scripts and CI.
#include <algorithm>
#include <asio/io_context.hpp>
#include <cstdio>
#include <random>
#include <string>
#include <memory>
#include <unistd.h>

#include "tools/cli/CliOptions.h"
#include "tools/cli/OutputFile.h"
#include "tools/control/Controller.h"
#include "tools/control/FileWorker.h"
#include "tools/control/HttpControl.h"
#include "tools/control/LineCommands.h"
#include "tools/control/Metrics.h"
#include "tools/io/AsioConnection.h"
#include "tools/io/AsioScheduler.h"
#include "tools/io/DescriptorLimit.h"
#include "tools/io/LineReader.h"
#include "tools/io/StopSignals.h"
#include "tools/report/FanOut.h"
#include "tools/report/JUnit.h"
#include "tools/report/JsonLinesSink.h"
#include "tools/report/SummaryJson.h"
#include "tools/report/SummaryText.h"
#include "tools/report/TextSink.h"
#include "tools/sim/Plant.h"
#include "tools/sim/Summary.h"
#include "tools/sim/Verdict.h"

namespace {

using namespace mimicbox;

// Descriptors beside the devices' sockets: standard streams, the loop's own, a lookup.
constexpr std::size_t kSpareDescriptors = 32;
// ... and the control API's clients, so that devices added live cannot lock it out.
constexpr std::size_t kControlDescriptors = 128;

int UsageError(const std::string& error)
{
    std::fprintf(stderr, "mimicbox-cli: %s\nTry 'mimicbox-cli --help'.\n", error.c_str());
    return 2;
}

bool ReadSources(asio::io_context& context, const std::vector<std::string>& texts,
                 std::vector<asio::ip::address_v4>& sources, std::string& error)
{
    for (const std::string& text : texts) {
        std::error_code ignored;
        sources.push_back(asio::ip::make_address_v4(text, ignored));
        if (!io::CheckSourceAddress(context, sources.back(), error))
            return false;
    }
    return true;
}

// 3 when an expectation failed; else 1 when a device gave up or never connected and no expectation
// judges its connection (a device the control API removed is none of the run's business); else 0.
int ExitStatus(const sim::Summary& summary, const sim::Verdict& verdict, const std::vector<sim::VerdictResult>& results)
{
    if (std::any_of(results.begin(), results.end(), [](const sim::VerdictResult& result) { return !result.passed; }))
        return 3;
    for (std::size_t i = 0; i < summary.Devices().size(); ++i) {
        const sim::DeviceStats& stats = summary.Devices()[i];
        if ((stats.gaveUp || stats.connects == 0) && !stats.removed && !verdict.CoversConnection(i))
            return 1;
    }
    return 0;
}

int Run(cli::CliOptions& options)
{
    std::string error;
    if (!io::RaiseDescriptorLimit(options.plant.devices.size() + kSpareDescriptors, error)) {
        std::fprintf(stderr, "mimicbox-cli: %s\n", error.c_str());
        return 2;
    }
    asio::io_context context(1);
    std::vector<asio::ip::address_v4> sources;
    if (!ReadSources(context, options.sources, sources, error))
        return UsageError(error);

    cli::OutputFile logJson;
    cli::OutputFile summaryJson;
    cli::OutputFile junit;
    if ((!options.logJson.empty() && !logJson.Open(options.logJson, error)) ||
        (!options.summaryJson.empty() && !summaryJson.Open(options.summaryJson, error)) ||
        (!options.junit.empty() && !junit.Open(options.junit, error)))
        return UsageError(error);

    io::AsioScheduler scheduler(context);
    io::AsioNetwork network(context, options.server, options.port, sources);
    sim::Summary summary(options.plant.devices, options.plant.faults);
    report::TextSink text(stdout, stderr, options.server + ":" + std::to_string(options.port), options.quiet);
    sim::Verdict verdict(options.plant.devices, options.expectations);
    report::FanOut sinks;
    sinks.Add(summary);
    sinks.Add(verdict);
    sinks.Add(text);
    report::JsonLinesSink json(logJson.Get(), scheduler.Now());
    if (logJson.Get())
        sinks.Add(json);
    options.plant.seed = options.seed.value_or(std::random_device{}());
    sim::Plant plant(options.plant, scheduler, network, sinks);
    control::Metrics metrics;
    sinks.Add(metrics);
    // The newest events, for clients of GET /events.
    control::EventFeed feed(65536, scheduler.Now());
    control::FileWorker files(context);
    const bool serving = !options.controlAddress.empty();
    control::Controller controller(
        {plant, summary, metrics, scheduler, files, serving ? &feed : nullptr}, [&] { context.stop(); },
        {io::DescriptorRoom(kSpareDescriptors + kControlDescriptors, sim::kMaxDevicesPerProcess), options.dataDir});
    sinks.Add(controller);
    std::unique_ptr<control::HttpControl> http;
    if (serving) {
        sinks.Add(feed);
        http = std::make_unique<control::HttpControl>(
            context, [&](const control::Request& request, control::Reply reply) { controller.Dispatch(request, reply); },
            options.controlToken);
        if (!http->Listen(options.controlAddress, options.controlPort, error))
            return UsageError(error);
        std::printf("control: http://%s:%u\n", options.controlAddress.c_str(), http->Port());
        http->Start();
    }

    io::StopSignals signals(context, [&] { context.stop(); });
    // On a terminal, line commands drive the plant through the same requests as the API.
    std::unique_ptr<io::LineReader> commands;
    if (::isatty(STDIN_FILENO))
        commands = std::make_unique<io::LineReader>(context, STDIN_FILENO, [&](const std::string& line) {
            control::Request request;
            std::string usage;
            if (!control::LineToRequest(line, request, usage)) {
                std::printf("%s\n", usage.c_str());
                return;
            }
            const auto print = [request](control::Response response) {
                std::printf("%s\n", control::ResponseText(request, std::move(response)).c_str());
            };
            // Nothing typed may end the runner.
            try {
                controller.Dispatch(request, print);
            } catch (const std::exception& failure) {
                std::printf("failed: %s\n", failure.what());
            }
        });
    const sim::Instant start = scheduler.Now();
    plant.Start([&] { context.stop(); });
    context.run();
    // Requests not yet taken up are refused from here on; those under way are answered.
    if (http)
        http->StopTaking();
    // Close every connection after the records under way, and give the closes a moment to go out.
    plant.Stop();
    controller.EndRun();
    signals.Cancel();
    context.restart();
    context.run_for(std::chrono::milliseconds(500));
    // Event streams get every event up to the end, then end.
    feed.Close();
    if (http)
        http->Stop();
    report::WriteSummary(summary, stdout);
    const std::vector<sim::VerdictResult> results = verdict.Results();
    std::fputs(report::VerdictLines(results).c_str(), stdout);
    if (summaryJson.Get())
        std::fputs(report::SummaryJson(summary).c_str(), summaryJson.Get());
    if (junit.Get()) {
        const double seconds = std::chrono::duration<double>(scheduler.Now() - start).count();
        std::fputs(report::JUnitXml(results, "mimicbox-cli", seconds).c_str(), junit.Get());
    }
    std::fflush(stdout);
    return ExitStatus(summary, verdict, results);
}

}  // namespace

int main(int argc, char* argv[])
{
    // Lines reach a pipe (tee, a test) as they are printed.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    cli::CliOptions options;
    std::string error;
    if (!cli::ParseCliOptions(argc - 1, argv + 1, options, error))
        return UsageError(error);
    if (options.help) {
        std::fputs(cli::CliUsage().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("mimicbox-cli %s\n", MIMICBOX_VERSION);
        return 0;
    }
    return Run(options);
}
