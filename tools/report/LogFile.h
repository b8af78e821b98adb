// One --log-json file read an event at a time, in bounded memory: its run line first, then its
// events. Lines that are no event of a log are skipped and counted; a line that is an event but does
// not read, or any event before the run line, stops the reading with "FILE:LINE: why".
#pragma once

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>

#include "tools/report/LoggedEvent.h"

namespace mimicbox::report {

class LogFile {
public:
    explicit LogFile(const std::string& path);

    // False with the reason when the file cannot be read, or does not begin with a run line.
    bool Open(std::string& error);
    const RunIdentity& Run() const { return run_; }
    int64_t StartMillis() const { return startMillis_; }

    enum class Next { kEvent, kEnd, kBroken };
    // The next event; kBroken with the reason in Error().
    Next Read(LoggedEvent& logged);
    const std::string& Error() const { return error_; }
    // Lines that were no event of a log.
    std::size_t Skipped() const { return skipped_; }

private:
    enum class Line { kEvent, kRun, kEnd, kBroken };
    Line ReadLine(LoggedEvent& logged);
    bool GetLine(std::string_view& line);

    std::string path_;
    std::ifstream in_;
    std::unique_ptr<char[]> buffer_;  // not cleared first: a megabyte set to zero for every log costs
    std::size_t lineNumber_ = 0;
    std::size_t skipped_ = 0;
    RunIdentity run_;
    int64_t startMillis_ = 0;
    std::string error_;
};

}  // namespace mimicbox::report
