#include "tools/cli/Runner.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <sys/prctl.h>
#include <unistd.h>

#include "tools/control/LineCommands.h"
#include "tools/io/ChooseSender.h"
#include "tools/io/DescriptorLimit.h"
#include "tools/options/HostPort.h"
#include "tools/report/HtmlReport.h"
#include "tools/report/JUnit.h"
#include "tools/report/PlantLogs.h"
#include "tools/report/SummaryJson.h"
#include "tools/report/SummaryText.h"

namespace mimicbox::cli {

namespace {

using io::kSpareDescriptors;
// Beside the spare ones, the control API's clients, so that devices added live cannot lock it out.
constexpr std::size_t kControlDescriptors = 128;

int UsageError(const std::string& error)
{
    std::fprintf(stderr, "mimicbox-cli: %s\nTry 'mimicbox-cli --help'.\n", error.c_str());
    return 2;
}

bool ReadSources(asio::io_context& context, const std::vector<std::string>& texts,
                 std::vector<asio::ip::address>& sources, std::string& error)
{
    for (const std::string& text : texts) {
        std::error_code ignored;
        sources.push_back(asio::ip::make_address(text, ignored));
        if (!io::CheckSourceAddress(context, sources.back(), error))
            return false;
        // One family for all: the server is reached over it.
        if (sources.back().is_v6() != sources.front().is_v6()) {
            error = "--source " + text + " and --source " + texts.front() + " are of two families: give IPv4 or IPv6 "
                    "addresses, as the server's address is";
            return false;
        }
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

// 128 random bits, new for every run, as 32 hex digits.
std::string NewRunId()
{
    std::random_device random;
    std::string id;
    for (int i = 0; i < 4; ++i) {
        char part[9];
        std::snprintf(part, sizeof part, "%08x", static_cast<unsigned>(random()));
        id += part;
    }
    return id;
}

}  // namespace

Runner::Runner(CliOptions options) : options_(std::move(options))
{
    options_.run.run = NewRunId();
    if (options_.run.plant.empty())
        options_.run.plant = options_.run.run;
}

Runner::~Runner() = default;

int Runner::Run()
{
    int status = 0;
    if (!Prepare(status))
        return status;
    std::string error;
    if (!ServeControl(error))
        return UsageError(error);
    signals_ = std::make_unique<io::StopSignals>(context_, [this] { context_.stop(); });
    ReadLineCommands();
    plant_->Start([this] { context_.stop(); });
    context_.run();
    Finish();
    return Report();
}

bool Runner::Prepare(int& status)
{
    std::string error;
    status = 2;
    if (!io::RaiseDescriptorLimit(options_.plant.devices.size() + kSpareDescriptors, error)) {
        std::fprintf(stderr, "mimicbox-cli: %s\n", error.c_str());
        return false;
    }
    std::vector<asio::ip::address> sources;
    if (!ReadSources(context_, options_.sources, sources, error) ||
        (!options_.logJson.empty() && !logJson_.Open(options_.logJson, error)) ||
        (!options_.summaryJson.empty() && !summaryJson_.Open(options_.summaryJson, error)) ||
        (!options_.junit.empty() && !junit_.Open(options_.junit, error)) ||
        (!options_.report.empty() && !report_.Open(options_.report, error))) {
        UsageError(error);
        return false;
    }
    std::shared_ptr<io::UringSender> sender;
    std::string ioLine;
    if (!io::ChooseSender(context_, options_.io, sender, ioLine, error)) {
        std::fprintf(stderr, "mimicbox-cli: %s\n", error.c_str());
        return false;
    }
    std::fprintf(stderr, "%s\n", ioLine.c_str());
    if (sender)
        scheduler_.Observe(sender);
    // By default the kernel may wake a timer up to 50 µs late to merge wake-ups; reports are due
    // to the microsecond.
    ::prctl(PR_SET_TIMERSLACK, 1UL);
    Build(sources, std::move(sender));
    // Once for the whole plant: a name that does not resolve is said once, not by every device.
    if (!network_->ResolveServer(error)) {
        std::fprintf(stderr, "mimicbox-cli: %s\n", error.c_str());
        status = 1;
        return false;
    }
    return true;
}

void Runner::Build(const std::vector<asio::ip::address>& sources, std::shared_ptr<io::UringSender> sender)
{
    const sim::PlantConfig& config = options_.plant;
    network_ = std::make_unique<io::AsioNetwork>(context_, options_.server, options_.port, sources, std::move(sender));
    summary_ = std::make_unique<sim::Summary>(config.devices, config.faults);
    text_ = std::make_unique<report::TextSink>(stdout, stderr, options_.server + ":" + std::to_string(options_.port),
                                               options_.quiet);
    verdict_ = std::make_unique<sim::Verdict>(config.devices, options_.expectations);
    sinks_.Add(*summary_);
    sinks_.Add(*verdict_);
    sinks_.Add(*text_);
    if (logJson_.Get()) {
        json_ = std::make_unique<report::JsonLinesSink>(logJson_.Get(), start_);
        std::fprintf(logJson_.Get(), "%s\n", report::RunLine(options_.run, startCalendar_).c_str());
        sinks_.Add(*json_);
    }
    options_.plant.seed = options_.seed.value_or(std::random_device{}());
    plant_ = std::make_unique<sim::Plant>(options_.plant, scheduler_, *network_, sinks_);
    sinks_.Add(metrics_);
    const bool serving = !options_.controlAddress.empty();
    if (serving || report_.Get()) {
        history_ = std::make_unique<report::History>(start_);
        sinks_.Add(*history_);
    }
    if (report_.Get()) {
        tally_ = std::make_unique<report::EventTally>();
        sinks_.Add(*tally_);
    }
    controller_ = std::make_unique<control::Controller>(
        control::PlantAccess{*plant_, *summary_, metrics_, scheduler_, files_, serving ? &feed_ : nullptr,
                             history_.get(), verdict_.get(), options_.plant.seed, start_},
        [this] { context_.stop(); },
        control::ControllerOptions{io::DescriptorRoom(kSpareDescriptors + kControlDescriptors, sim::kMaxDevicesPerProcess),
                                   options_.dataDir});
    sinks_.Add(*controller_);
    if (serving)
        sinks_.Add(feed_);
}

bool Runner::ServeControl(std::string& error)
{
    if (options_.controlAddress.empty())
        return true;
    http_ = std::make_unique<control::HttpControl>(
        context_, [this](const control::Request& request, control::Reply reply) { controller_->Dispatch(request, reply); },
        control::AccessRules{options_.controlToken, options_.controlHosts});
    if (!http_->Listen(options_.controlAddress, options_.controlPort, error))
        return false;
    const std::string address = options::JoinHostPort(options_.controlAddress, http_->Port());
    std::printf("control: http://%s\n", address.c_str());
    std::printf("dashboard: http://%s/\n", address.c_str());
    http_->Start();
    return true;
}

// On a terminal, line commands drive the plant through the same requests as the API.
void Runner::ReadLineCommands()
{
    if (!::isatty(STDIN_FILENO))
        return;
    commands_ = std::make_unique<io::LineReader>(context_, STDIN_FILENO, [this](const std::string& line) {
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
            controller_->Dispatch(request, print);
        } catch (const std::exception& failure) {
            std::printf("failed: %s\n", failure.what());
        }
    });
}

void Runner::Finish()
{
    // Requests not yet taken up are refused from here on; those under way are answered.
    if (http_)
        http_->StopTaking();
    plant_->Stop();
    controller_->EndRun();
    signals_->Cancel();
    // The closes, and the second halves of split records before them, get a moment to go out.
    context_.restart();
    context_.run_for(std::chrono::milliseconds(500));
    // Event streams get every event up to the end, then end.
    feed_.Close();
    if (http_)
        http_->Stop();
}

int Runner::Report() const
{
    report::WriteSummary(*summary_, stdout);
    const std::vector<sim::VerdictResult> results = verdict_->Results();
    std::fputs(report::VerdictLines(results, options_.verbose).c_str(), stdout);
    if (summaryJson_.Get())
        std::fputs(report::SummaryJson(*summary_, results).c_str(), summaryJson_.Get());
    if (junit_.Get()) {
        const double seconds = std::chrono::duration<double>(scheduler_.Now() - start_).count();
        std::fputs(report::JUnitXml(results, "mimicbox-cli", seconds).c_str(), junit_.Get());
    }
    if (report_.Get()) {
        history_->Advance(scheduler_.Now());
        const report::ReportFacts facts{options_.commandLine, report::CoveredRuns({{"", options_.run, 0, 0}}),
                                        options_.scenarioText, options_.plant.seed, startCalendar_,
                                        scheduler_.CalendarMillis()};
        // Each device's profile as the run left it; a removed device's is no longer known.
        std::vector<sim::ProfileKind> profiles(plant_->Size(), sim::ProfileKind::kSteps);
        for (std::size_t i = 0; i < plant_->Size(); ++i)
            if (plant_->Holds(i))
                profiles[i] = plant_->At(i).GetDevice().GetProfile().kind;
        const report::RunRecord run{*history_, *summary_, results, *tally_, scheduler_.Now(), std::move(profiles)};
        std::fputs(report::HtmlReport(facts, run).c_str(), report_.Get());
    }
    std::fflush(stdout);
    return ExitStatus(*summary_, *verdict_, results);
}

}  // namespace mimicbox::cli
