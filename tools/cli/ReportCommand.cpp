#include "tools/cli/ReportCommand.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <limits>
#include <map>
#include <memory>

#include "tools/report/EventTally.h"
#include "tools/report/History.h"
#include "tools/report/HtmlReport.h"
#include "tools/report/LoggedEvent.h"
#include "tools/scenario/Scenario.h"
#include "tools/sim/FanOut.h"

namespace mimicbox::cli {

namespace {

// A line longer than this is no event of ours: it is skipped, never held in memory whole.
constexpr std::streamsize kLongestLine = 1 << 20;

// One log, read an event at a time.
class LogReader {
public:
    explicit LogReader(const std::string& path) : in_(path), line_(static_cast<std::size_t>(kLongestLine) + 1) {}
    bool Opened() const { return in_.is_open(); }
    // The next event, skipping lines that are no event; false at the end.
    bool Next(report::LoggedEvent& logged)
    {
        std::string why;
        for (;;) {
            in_.getline(line_.data(), kLongestLine + 1);
            const std::streamsize length = in_.gcount();
            if (in_.fail() && !in_.eof() && length == kLongestLine) {
                // Too long: the rest of the line goes unread.
                in_.clear();
                in_.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
                ++skipped_;
                continue;
            }
            if (length == 0 && !in_)
                return false;
            // gcount counts the newline that getline took away.
            const std::size_t size = static_cast<std::size_t>(length) - (in_.eof() ? 0 : 1);
            if (report::ParseLoggedEvent(std::string_view(line_.data(), size), logged, why))
                return true;
            if (size > 0)
                ++skipped_;
            if (!in_)
                return false;
        }
    }
    std::size_t Skipped() const { return skipped_; }

private:
    std::ifstream in_;
    std::vector<char> line_;
    std::size_t skipped_ = 0;
};

struct LogSpan {
    int64_t startMillis = 0;  // the calendar at the run's start: an event's time less its t
    int64_t endMillis = 0;
    std::size_t events = 0;
};

int Fail(const std::string& message)
{
    std::fprintf(stderr, "mimicbox-cli report: %s\n", message.c_str());
    return 2;
}

// First pass: each log's span on the calendar, and every device it names.
bool Survey(const std::vector<std::string>& logs, std::vector<LogSpan>& spans,
            std::map<std::pair<int32_t, int32_t>, std::size_t>& devices, std::string& error)
{
    for (const std::string& path : logs) {
        LogReader reader(path);
        if (!reader.Opened())
            return (error = "cannot read " + path), false;
        LogSpan span;
        report::LoggedEvent logged;
        while (reader.Next(logged)) {
            const int64_t start = logged.event.calendarMillis - static_cast<int64_t>(logged.t * 1000.0);
            span.startMillis = span.events == 0 ? start : std::min(span.startMillis, start);
            span.endMillis = std::max(span.endMillis, logged.event.calendarMillis);
            ++span.events;
            devices.emplace(std::make_pair(logged.event.identity.nDeviceType, logged.event.identity.nSerial), 0);
        }
        if (span.events == 0)
            return (error = path + " holds no event of a --log-json file"), false;
        if (reader.Skipped() > 0)
            std::fprintf(stderr, "mimicbox-cli report: %s: %zu lines are no event and were left out\n", path.c_str(),
                         reader.Skipped());
        spans.push_back(span);
    }
    return true;
}

// Second pass: the logs' events merged in time order, the shards' clocks set on the earliest start.
void Replay(const std::vector<std::string>& logs, const std::vector<LogSpan>& spans, int64_t base,
            const std::map<std::pair<int32_t, int32_t>, std::size_t>& devices, sim::EventSink& sink)
{
    struct Source {
        std::unique_ptr<LogReader> reader;
        report::LoggedEvent next;
        double offset = 0;
        bool more = false;
    };
    std::vector<Source> sources(logs.size());
    for (std::size_t i = 0; i < logs.size(); ++i) {
        sources[i].reader = std::make_unique<LogReader>(logs[i]);
        sources[i].offset = static_cast<double>(spans[i].startMillis - base) / 1000.0;
        sources[i].more = sources[i].reader->Next(sources[i].next);
    }
    for (;;) {
        Source* first = nullptr;
        for (Source& source : sources) {
            if (source.more && (!first || source.offset + source.next.t < first->offset + first->next.t))
                first = &source;
        }
        if (!first)
            return;
        sim::Event event = first->next.event;
        event.time = sim::Instant{} + sim::Seconds(first->offset + first->next.t);
        event.device = devices.at({event.identity.nDeviceType, event.identity.nSerial});
        sink.OnEvent(event);
        first->more = first->reader->Next(first->next);
    }
}

}  // namespace

int RunReportCommand(const ReportOptions& options)
{
    std::vector<LogSpan> spans;
    std::map<std::pair<int32_t, int32_t>, std::size_t> devices;
    std::string error;
    if (!Survey(options.logs, spans, devices, error))
        return Fail(error);
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
    const auto earliest = std::min_element(spans.begin(), spans.end(), [](const LogSpan& a, const LogSpan& b) {
        return a.startMillis < b.startMillis;
    });
    facts.startMillis = earliest->startMillis;
    for (const LogSpan& span : spans)
        facts.endMillis = std::max(facts.endMillis, span.endMillis);
    facts.commandLine = "mimicbox-cli report";
    for (const std::string& log : options.logs)
        facts.commandLine += " " + log;

    sim::Summary summary(identities, plan.faults);
    sim::Verdict verdict(identities, plan.expectations);
    report::History history(sim::Instant{});
    report::EventTally tally;
    sim::FanOut sinks;
    for (sim::EventSink* sink : std::initializer_list<sim::EventSink*>{&summary, &verdict, &history, &tally})
        sinks.Add(*sink);
    Replay(options.logs, spans, facts.startMillis, devices, sinks);
    history.Advance(sim::Instant{} + std::chrono::milliseconds(facts.endMillis - facts.startMillis));

    std::FILE* out = std::fopen(options.out.c_str(), "w");
    if (!out)
        return Fail("cannot write " + options.out);
    const std::vector<sim::VerdictResult> results = verdict.Results();
    const std::string page = report::HtmlReport(facts, {history, summary, results, tally});
    const bool written = std::fwrite(page.data(), 1, page.size(), out) == page.size();
    if (std::fclose(out) != 0 || !written)
        return Fail("cannot write " + options.out);
    return 0;
}

}  // namespace mimicbox::cli
