// The bytes of one replayed connection on their way out: readable reports get the serial they play
// as and, when asked, the clock of now; everything else, malformed records from the field included,
// passes unchanged. Without a change to make, chunks pass exactly as recorded; with one, the start
// of a record is held back until the chunk that completes it, so that it is rewritten whole.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mimicbox::capture {

class RecordRewriter {
public:
    // `serial`: the serial the connection plays as, 0 to keep the recorded one.
    RecordRewriter(int32_t serial, bool rewriteClock) : serial_(serial), rewriteClock_(rewriteClock) {}

    bool Rewrites() const { return serial_ != 0 || rewriteClock_; }
    // What to send for this chunk; `clock` is now on the calendar, in seconds.
    std::string Feed(std::string_view chunk, int64_t clock);

private:
    std::string Rewrite(std::string_view record, int64_t clock) const;

    int32_t serial_;
    bool rewriteClock_;
    std::string pending_;
};

}  // namespace mimicbox::capture
