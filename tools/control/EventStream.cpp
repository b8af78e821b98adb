#include "tools/control/EventStream.h"

namespace mimicbox::control {

namespace {

// Events per piece: a client far behind catches up in pieces, not in one huge write.
constexpr std::size_t kBatch = 512;

}  // namespace

void EventStream::Next(Deliver deliver)
{
    const bool closed = feed_.Closed();
    const EventFilter filter{reports_, device_ ? &*device_ : nullptr};
    uint64_t next = from_;
    const auto lines = feed_.Take(from_, kBatch, filter, next);
    const bool lookedAt = next != from_;
    from_ = next;
    if (!lines.empty()) {
        std::string text;
        for (const auto& [number, line] : lines)
            text += "id: " + std::to_string(number) + "\ndata: " + line + "\n\n";
        deliver(std::move(text), false);
        return;
    }
    // Only events the client does not want: asked again at once, for the next ones.
    if (lookedAt) {
        deliver({}, false);
        return;
    }
    // Closed before the events were taken: every event is delivered.
    if (closed) {
        deliver({}, true);
        return;
    }
    // The wake comes from the loop's thread; asked again, the stream formats on the HTTP thread.
    if (!feed_.WaitFor(from_, [deliver] { deliver({}, false); }, reports_))
        deliver({}, false);
}

}  // namespace mimicbox::control
