#include "tools/cli/ReportCommand.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

#include "tools/report/DeviceProfiles.h"
#include "tools/report/EventTally.h"
#include "tools/report/History.h"
#include "tools/report/HtmlReport.h"
#include "tools/report/LogFile.h"
#include "tools/report/PlantLogs.h"
#include "tools/report/Text.h"
#include "tools/scenario/Scenario.h"
#include "tools/sim/FanOut.h"

namespace mimicbox::cli {

namespace {

using DeviceNumbers = std::map<std::pair<int32_t, int32_t>, std::size_t>;

struct Surveyed {
    report::LogSpan span;
    double lastT = 0;  // the log's last event, in seconds from its run's start
};

int Fail(const std::string& message)
{
    std::fprintf(stderr, "mimicbox-cli report: %s\n", message.c_str());
    return 2;
}

bool OpenLog(const std::string& path, report::LogFile& log, std::string& error)
{
    // Each log is read twice, which a pipe cannot give, and a FIFO without a writer would never end.
    std::error_code failed;
    if (std::filesystem::exists(path, failed) && !std::filesystem::is_regular_file(path, failed)) {
        error = path + " is no regular file: give the log as a file";
        return false;
    }
    return log.Open(error);
}

// First pass: each log's run, its span, and every device it names.
bool Survey(const std::vector<std::string>& logs, std::vector<Surveyed>& spans, DeviceNumbers& devices,
            std::string& error)
{
    for (const std::string& path : logs) {
        report::LogFile log(path);
        if (!OpenLog(path, log, error))
            return false;
        Surveyed surveyed{{path, log.Run(), log.StartMillis(), log.StartMillis()}, 0};
        report::LoggedEvent logged;
        report::LogFile::Next next;
        while ((next = log.Read(logged)) == report::LogFile::Next::kEvent) {
            surveyed.lastT = std::max(surveyed.lastT, logged.t);
            devices.emplace(std::make_pair(logged.event.identity.nDeviceType, logged.event.identity.nSerial), 0);
        }
        if (next == report::LogFile::Next::kBroken)
            return (error = log.Error()), false;
        surveyed.span.endMillis = surveyed.span.startMillis + static_cast<int64_t>(surveyed.lastT * 1000.0);
        if (log.Skipped() > 0)
            std::fprintf(stderr, "mimicbox-cli report: %s: %s no event and left out\n", path.c_str(),
                         (report::Count(log.Skipped(), "line") + (log.Skipped() == 1 ? " is" : " are")).c_str());
        spans.push_back(surveyed);
    }
    return true;
}

// Second pass: the logs' events merged in time order, each shard's clock set from its run's start
// against the earliest start. Offsets are bounded by the slack OnePlant allows between shards.
bool Replay(const std::vector<Surveyed>& spans, int64_t base, const DeviceNumbers& devices, sim::EventSink& sink,
            std::string& error)
{
    struct Source {
        std::unique_ptr<report::LogFile> log;
        report::LoggedEvent next;
        double offset = 0;
        bool more = false;
    };
    std::vector<Source> sources(spans.size());
    for (std::size_t i = 0; i < spans.size(); ++i) {
        sources[i].log = std::make_unique<report::LogFile>(spans[i].span.path);
        if (!sources[i].log->Open(error))
            return false;
        sources[i].offset = static_cast<double>(spans[i].span.startMillis - base) / 1000.0;
        sources[i].more = sources[i].log->Read(sources[i].next) == report::LogFile::Next::kEvent;
    }
    for (;;) {
        Source* first = nullptr;
        for (Source& source : sources) {
            if (source.more && (!first || source.offset + source.next.t < first->offset + first->next.t))
                first = &source;
        }
        if (!first)
            return true;
        sim::Event event = first->next.event;
        event.time = sim::Instant{} + sim::Seconds(first->offset + first->next.t);
        event.device = devices.at({event.identity.nDeviceType, event.identity.nSerial});
        sink.OnEvent(event);
        const report::LogFile::Next next = first->log->Read(first->next);
        if (next == report::LogFile::Next::kBroken)
            return (error = first->log->Error()), false;
        first->more = next == report::LogFile::Next::kEvent;
    }
}

// Each device's profile as the scenario sets it; steps without one, as on the command line.
std::vector<sim::ProfileKind> StartingProfiles(const std::vector<DeviceIdentity>& identities, const sim::ScenarioPlan& plan)
{
    std::vector<sim::ProfileKind> kinds;
    kinds.reserve(identities.size());
    for (const DeviceIdentity& identity : identities) {
        const auto group = std::find_if(plan.devices.begin(), plan.devices.end(),
                                        [&](const sim::DeviceGroup& candidate) { return candidate.range.Contains(identity); });
        kinds.push_back(group == plan.devices.end() ? sim::ProfileKind::kSteps : group->setup.profile.kind);
    }
    return kinds;
}

}  // namespace

int RunReportCommand(const ReportOptions& options)
{
    std::vector<Surveyed> surveyed;
    DeviceNumbers devices;
    std::string error;
    if (!Survey(options.logs, surveyed, devices, error))
        return Fail(error);
    std::vector<report::LogSpan> spans;
    for (const Surveyed& one : surveyed)
        spans.push_back(one.span);
    std::string missing;
    if (!report::OnePlant(spans, error, missing))
        return Fail(error);
    if (!missing.empty())
        std::fprintf(stderr, "mimicbox-cli report: without shard %s of plant %s: no log of them was given\n",
                     missing.c_str(), spans.front().run.plant.c_str());
    std::vector<DeviceIdentity> identities;
    for (auto& [key, index] : devices) {
        index = identities.size();
        identities.push_back({key.first, key.second});
    }
    sim::ScenarioPlan plan;
    report::ReportFacts facts;
    if (!options.scenario.empty()) {
        scenario::ScenarioFile file;
        if (!scenario::ReadScenarioFile(options.scenario, file, error) || !scenario::PlanScenarioFile(file, plan, error))
            return Fail(error);
        facts.scenario = file.text;
        facts.seed = plan.seed;
    }
    facts.startMillis = std::min_element(spans.begin(), spans.end(), [](const auto& a, const auto& b) {
                            return a.startMillis < b.startMillis;
                        })->startMillis;
    for (const report::LogSpan& span : spans)
        facts.endMillis = std::max(facts.endMillis, span.endMillis);
    facts.commandLine = options.commandLine;
    facts.runs = report::CoveredRuns(spans);

    sim::Summary summary(identities, plan.faults, false);
    sim::Verdict verdict(identities, plan.expectations);
    // A report keeps each device's last report only: it draws no device's own chart.
    report::History history(sim::Instant{}, {.samplesPerDevice = 1});
    report::EventTally tally;
    report::DeviceProfiles profiles(StartingProfiles(identities, plan));
    sim::FanOut sinks;
    for (sim::EventSink* sink : std::initializer_list<sim::EventSink*>{&summary, &verdict, &history, &tally, &profiles})
        sinks.Add(*sink);
    if (!Replay(surveyed, facts.startMillis, devices, sinks, error))
        return Fail(error);
    const sim::Instant end = sim::Instant{} + std::chrono::milliseconds(facts.endMillis - facts.startMillis);
    history.Advance(end);

    std::FILE* out = std::fopen(options.out.c_str(), "w");
    if (!out)
        return Fail("cannot write " + options.out);
    const std::vector<sim::VerdictResult> results = verdict.Results();
    const std::string page = report::HtmlReport(facts, {history, summary, results, tally, end, profiles.Kinds()});
    const bool written = std::fwrite(page.data(), 1, page.size(), out) == page.size();
    if (std::fclose(out) != 0 || !written)
        return Fail("cannot write " + options.out);
    return 0;
}

}  // namespace mimicbox::cli
