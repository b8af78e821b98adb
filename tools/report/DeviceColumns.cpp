#include "tools/report/DeviceColumns.h"

#include <cmath>
#include <functional>

#include "tools/report/Text.h"

namespace mimicbox::report {

namespace {

const char* EndState(const sim::DeviceStats& stats)
{
    if (stats.removed)
        return "removed";
    if (stats.gaveUp)
        return "gave up";
    return stats.connects == 0 ? "never connected" : "ran";
}

// One column: its values for every device, written by `value`.
void Column(std::string& out, const char* name, std::size_t count, const std::function<void(std::size_t)>& value)
{
    out += out.size() > 1 ? ",\"" : "\"";
    out += name;
    out += "\":[";
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0)
            out += ',';
        value(i);
    }
    out += ']';
}

}  // namespace

std::string DeviceColumns(const RunRecord& run)
{
    const auto& all = run.summary.Devices();
    const std::size_t count = all.size();
    const sim::Instant end = run.end;
    std::string out = "{";
    out.reserve(count * 64);
    Column(out, "model", count, [&](std::size_t i) { out += all[i].identity.nDeviceType == TYPE_THERMO ? "\"thermo\"" : "\"relay\""; });
    Column(out, "serial", count, [&](std::size_t i) { AppendNumber(out, all[i].identity.nSerial); });
    Column(out, "state", count, [&](std::size_t i) { out += std::string("\"") + EndState(all[i]) + "\""; });
    Column(out, "value", count, [&](std::size_t i) { AppendNumber(out, RoundTo(run.history.LastValue(i), 1e-4)); });
    Column(out, "profile", count, [&](std::size_t i) {
        const bool known = i < run.profiles.size() && all[i].identity.nDeviceType == TYPE_THERMO;
        out += known ? std::string("\"") + sim::ProfileKindName(run.profiles[i]) + "\"" : "null";
    });
    Column(out, "reports_sent", count, [&](std::size_t i) { AppendNumber(out, all[i].reports); });
    Column(out, "commands_received", count, [&](std::size_t i) { AppendNumber(out, all[i].commands); });
    Column(out, "lateness_p99_ms", count, [&](std::size_t i) {
        AppendNumber(out, RoundTo(sim::ToMilliseconds(all[i].lateness.Percentile(0.99)), 1e-3));
    });
    Column(out, "connects", count, [&](std::size_t i) { AppendNumber(out, all[i].connects); });
    Column(out, "missed", count, [&](std::size_t i) { AppendNumber(out, all[i].missed); });
    Column(out, "last_report_age", count, [&](std::size_t i) {
        if (all[i].hasLastSent)
            AppendNumber(out, RoundTo(std::chrono::duration<double>(end - all[i].lastSent).count(), 1e-3));
        else
            out += "null";
    });
    out += '}';
    return out;
}

}  // namespace mimicbox::report
