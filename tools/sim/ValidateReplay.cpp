#include <climits>

#include "tools/sim/ScenarioRules.h"
#include "tools/sim/ValidationCheck.h"

namespace mimicbox::sim {

namespace {

void CheckSerials(const Check& check, const ReplayEntry& replay)
{
    for (const auto& [recorded, serial] : replay.serials) {
        const bool number = !recorded.empty() && recorded.size() <= 10 &&
                            recorded.find_first_not_of("0123456789") == std::string::npos &&
                            std::stoll(recorded) >= 1 && std::stoll(recorded) <= INT32_MAX;
        if (!number)
            check.Fail("serials", "'" + recorded + "' is no serial number: keys are the recorded serials, 1 to 2147483647");
        check.Table("serials").Whole(recorded, serial, 1, INT32_MAX);
    }
}

}  // namespace

void CheckReplay(const Check& check, const Scenario& scenario)
{
    if (!scenario.replay)
        return;
    const ReplayEntry& replay = *scenario.replay;
    const Check table = check.Table("replay");
    if (replay.capture && replay.capture->empty())
        table.Fail("capture", "must name a capture file");
    if (replay.mode && *replay.mode != "values" && *replay.mode != "exact")
        table.Fail("mode", "must be \"values\" or \"exact\"");
    table.Range("speed", replay.speed, 0.001, 1000);
    table.Range("from", replay.from, 0, kAnyNumber);
    if (table.Range("to", replay.to, 0, kAnyNumber) && replay.to && replay.from && *replay.to <= *replay.from)
        table.Fail("to", "must lie after from");
    table.Whole("copies", replay.copies, 1, 100000);
    if (replay.rewriteClock && replay.mode.value_or("values") != "exact")
        table.Fail("rewrite_clock", "applies to mode = \"exact\": in values mode every clock is now");
    CheckSerials(table, replay);
}

}  // namespace mimicbox::sim
