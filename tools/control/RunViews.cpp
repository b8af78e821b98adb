// What the dashboard reads: the run at a glance, the plant's series, and a device's recent reports.
#include "tools/control/Controller.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "tools/control/http/HttpText.h"
#include "tools/report/HistoryJson.h"

namespace mimicbox::control {

namespace {

nlohmann::ordered_json Expectations(const sim::Verdict* verdict)
{
    uint64_t held = 0, failed = 0, open = 0;
    if (verdict) {
        for (const sim::VerdictResult& result : verdict->Results()) {
            if (!result.settled)
                ++open;
            else if (result.passed)
                ++held;
            else
                ++failed;
        }
    }
    return {{"held", held}, {"failed", failed}, {"open", open}};
}

}  // namespace

void Controller::Glance(Reply reply) const
{
    const double elapsed = std::chrono::duration<double>(access_.scheduler.Now() - access_.start).count();
    uint64_t commands = 0;
    for (const sim::DeviceStats& stats : access_.summary.Devices())
        commands += stats.commands;
    nlohmann::ordered_json json = {
        {"elapsed", std::round(elapsed * 1000.0) / 1000.0},
        {"seed", access_.seed},
        {"devices", plant_.HeldCount()},
        {"connected", plant_.ConnectedCount()},
        {"reports_sent", access_.summary.Reports()},
        {"commands_received", commands},
        {"faults", access_.summary.Faults()},
        {"missed", access_.summary.Missed()},
        {"expectations", Expectations(access_.verdict)},
        {"history_bytes", access_.history ? access_.history->MemoryBytes() : 0},
    };
    reply(JsonAnswer(json));
}

void Controller::Series(const Request& request, Reply reply) const
{
    if (!access_.history) {
        reply(JsonError(404, "no history here"));
        return;
    }
    uint32_t from = 0;
    if (!http::QueryWhole(request.query, "from", from)) {
        reply(JsonError(400, "from: a second of the run is needed"));
        return;
    }
    access_.history->Advance(access_.scheduler.Now());
    std::vector<report::SeriesPoint> series = access_.history->Series();
    series.erase(series.begin(), std::find_if(series.begin(), series.end(),
                                              [from](const report::SeriesPoint& point) { return point.second >= from; }));
    Response response(200, "");
    // Copied on the loop, written as JSON off it.
    response.render = [series = std::move(series)] { return report::SeriesJson(series) + "\n"; };
    reply(std::move(response));
}

void Controller::Reports(const std::string& name, Reply reply) const
{
    std::size_t index = 0;
    if (!Find(name, index, reply))
        return;
    if (!access_.history) {
        reply(JsonError(404, "no history here"));
        return;
    }
    Response response(200, "");
    response.render = [reports = access_.history->Reports(index)] { return report::ReportsJson(reports) + "\n"; };
    reply(std::move(response));
}

}  // namespace mimicbox::control
