// One run of mimicbox-cli: the plant on Asio with the sinks of its events, the live control when
// asked for, and the summary and verdict at the end. Each step says what it does.
#pragma once

#include <asio/io_context.hpp>
#include <memory>
#include <string>

#include "tools/cli/CliOptions.h"
#include "tools/cli/OutputFile.h"
#include "tools/control/Controller.h"
#include "tools/control/EventFeed.h"
#include "tools/control/FileWorker.h"
#include "tools/control/HttpControl.h"
#include "tools/control/Metrics.h"
#include "tools/io/AsioConnection.h"
#include "tools/io/AsioScheduler.h"
#include "tools/io/LineReader.h"
#include "tools/io/StopSignals.h"
#include "tools/sim/FanOut.h"
#include "tools/report/EventTally.h"
#include "tools/report/History.h"
#include "tools/report/JsonLinesSink.h"
#include "tools/report/TextSink.h"
#include "tools/sim/Plant.h"
#include "tools/sim/Summary.h"
#include "tools/sim/Verdict.h"

namespace mimicbox::cli {

class Runner {
public:
    explicit Runner(CliOptions options);
    ~Runner();

    // Runs the plant until it ends or is stopped, and reports; the exit status.
    int Run();

private:
    // Descriptors, source addresses and output files; false with the status to exit with.
    bool Prepare(int& status);
    // The plant, and every sink of its events.
    void Build(const std::vector<asio::ip::address>& sources, std::shared_ptr<io::UringSender> sender);
    // The control API and the terminal's line commands.
    bool ServeControl(std::string& error);
    void ReadLineCommands();
    // Closes every connection after the records under way, then ends the event streams.
    void Finish();
    // The summary and the verdict, on standard output and in the files asked for; the exit status.
    int Report() const;

    CliOptions options_;
    asio::io_context context_{1};
    io::AsioScheduler scheduler_{context_};
    // The run's one start: every line of --log-json and of GET /events counts its time from it.
    const sim::Instant start_{scheduler_.Now()};
    const int64_t startCalendar_{scheduler_.CalendarMillis()};
    OutputFile logJson_;
    OutputFile summaryJson_;
    OutputFile junit_;
    OutputFile report_;
    std::unique_ptr<io::AsioNetwork> network_;
    std::unique_ptr<sim::Summary> summary_;
    std::unique_ptr<report::TextSink> text_;
    std::unique_ptr<sim::Verdict> verdict_;
    std::unique_ptr<report::JsonLinesSink> json_;
    std::unique_ptr<report::History> history_;
    std::unique_ptr<report::EventTally> tally_;
    sim::FanOut sinks_;
    std::unique_ptr<sim::Plant> plant_;
    control::Metrics metrics_;
    control::EventFeed feed_{65536, start_};  // the newest events, for GET /events
    control::FileWorker files_{context_};
    std::unique_ptr<control::Controller> controller_;
    std::unique_ptr<control::HttpControl> http_;
    std::unique_ptr<io::StopSignals> signals_;
    std::unique_ptr<io::LineReader> commands_;
};

}  // namespace mimicbox::cli
