#include "tools/report/LogFile.h"

#include <limits>

namespace mimicbox::report {

namespace {

// A line longer than this is no event of ours: it is skipped, never held in memory whole.
constexpr std::streamsize kLongestLine = 1 << 20;

}  // namespace

LogFile::LogFile(const std::string& path)
    : path_(path), buffer_(std::make_unique_for_overwrite<char[]>(static_cast<std::size_t>(kLongestLine) + 1))
{
}

bool LogFile::Open(std::string& error)
{
    in_.open(path_);
    if (!in_.is_open()) {
        error = "cannot read " + path_;
        return false;
    }
    LoggedEvent ignored;
    const Line first = ReadLine(ignored);
    if (first == Line::kRun)
        return true;
    if (first == Line::kBroken)
        error = error_;
    else if (first == Line::kEnd)
        error = path_ + " holds no event of a --log-json file";
    else
        error = path_ + ":" + std::to_string(lineNumber_) +
                ": an event before the run line, which every --log-json file begins with: not a log of this "
                "version of mimicbox-cli";
    return false;
}

LogFile::Next LogFile::Read(LoggedEvent& logged)
{
    switch (ReadLine(logged)) {
    case Line::kEvent:
        return Next::kEvent;
    case Line::kEnd:
        return Next::kEnd;
    case Line::kRun:
        error_ = path_ + ":" + std::to_string(lineNumber_) +
                 ": a second run line: the file holds more than one log; give each its own file";
        return Next::kBroken;
    case Line::kBroken:
        break;
    }
    return Next::kBroken;
}

LogFile::Line LogFile::ReadLine(LoggedEvent& logged)
{
    std::string_view line;
    while (GetLine(line)) {
        std::string why;
        switch (ReadLogLine(line, logged, run_, startMillis_, why)) {
        case LogLine::kEvent:
            return Line::kEvent;
        case LogLine::kRun:
            return Line::kRun;
        case LogLine::kBroken:
            error_ = path_ + ":" + std::to_string(lineNumber_) + ": " + why;
            return Line::kBroken;
        case LogLine::kOther:
            if (!line.empty())
                ++skipped_;
            break;
        }
    }
    return Line::kEnd;
}

bool LogFile::GetLine(std::string_view& line)
{
    for (;;) {
        in_.getline(buffer_.get(), kLongestLine + 1);
        const std::streamsize length = in_.gcount();
        if (length == 0 && !in_)
            return false;
        ++lineNumber_;
        if (in_.fail() && !in_.eof() && length == kLongestLine) {
            // Too long: the rest of the line goes unread.
            in_.clear();
            in_.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
            ++skipped_;
            continue;
        }
        // gcount counts the newline that getline took away.
        const std::size_t size = static_cast<std::size_t>(length) - (in_.eof() ? 0 : 1);
        line = std::string_view(buffer_.get(), size);
        return true;
    }
}

}  // namespace mimicbox::report
