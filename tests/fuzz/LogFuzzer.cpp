// Feeds arbitrary lines to the reader of --log-json files that `mimicbox-cli report` uses, and what
// it reads into the history and the tally: an event or a reason, never a crash, and an event read
// back writes the same bytes again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tools/report/EventTally.h"
#include "tools/report/History.h"
#include "tools/report/JsonLinesSink.h"
#include "tools/report/LoggedEvent.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace mimicbox;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    report::History history(sim::Instant{});
    report::EventTally tally(4);
    const report::JsonLinesSink sink(nullptr, sim::Instant{});
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        report::LoggedEvent logged;
        std::string error;
        if (report::ParseLoggedEvent(text.substr(start, end - start), logged, error)) {
            logged.event.time = sim::Instant{} + sim::Seconds(logged.t < 0 || logged.t > 1e6 ? 0 : logged.t);
            history.OnEvent(logged.event);
            tally.OnEvent(logged.event);
            report::LoggedEvent again;
            if (!report::ParseLoggedEvent(sink.Line(logged.event), again, error) || again.record != logged.record)
                __builtin_trap();
        } else if (error.empty()) {
            __builtin_trap();
        }
        start = end + 1;
    }
    (void)history.Series();
    (void)history.Reports(0);
    return 0;
}
