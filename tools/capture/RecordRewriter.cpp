#include "tools/capture/RecordRewriter.h"

#include "link/Record.h"
#include "tools/report/RecordDecoder.h"

namespace mimicbox::capture {

namespace {

// Replaces the number that starts at `from` and ends before the next `end` character.
void ReplaceNumber(std::string& record, std::size_t from, char end, const std::string& number)
{
    const std::size_t stop = record.find(end, from);
    if (from != std::string::npos && stop != std::string::npos)
        record.replace(from, stop - from, number);
}

}  // namespace

std::string RecordRewriter::Feed(std::string_view chunk, int64_t clock)
{
    if (!Rewrites())
        return std::string(chunk);
    std::string out;
    while (!chunk.empty()) {
        const std::size_t nul = chunk.find('\0');
        if (nul == std::string_view::npos) {
            pending_.append(chunk);
            break;
        }
        pending_.append(chunk.substr(0, nul));
        out += Rewrite(pending_, clock);
        out += '\0';
        pending_.clear();
        chunk.remove_prefix(nul + 1);
    }
    return out;
}

std::string RecordRewriter::Rewrite(std::string_view record, int64_t clock) const
{
    std::string rewritten(record);
    const report::RecordCheck check = report::CheckRecord(record);
    if (!check.readable || check.command != CMD_REPORT)
        return rewritten;
    // "TolvarkControl: 16, 3, 4, 0, 0, 1, 10;1765000000, 21.500000;"
    if (rewriteClock_)
        ReplaceNumber(rewritten, rewritten.find(';') + 1, ',', std::to_string(static_cast<int32_t>(clock)));
    if (serial_ != 0)
        ReplaceNumber(rewritten, rewritten.find(", ") + 2, ',', std::to_string(serial_));
    return rewritten;
}

}  // namespace mimicbox::capture
