#include "tools/control/LiveFaults.h"

#include <nlohmann/json.hpp>

namespace mimicbox::control {

LiveFaults::LiveFaults(sim::Scheduler& scheduler, sim::Instant start, sim::Nanos wait)
    : scheduler_(scheduler), wait_(wait), format_(nullptr, start)
{
}

uint64_t LiveFaults::Expect(const std::string& device, const char* kind, Reply reply)
{
    retired_.clear();
    const uint64_t id = nextId_++;
    Waiting& waiting = waiting_[id];
    waiting.device = device;
    waiting.kind = kind;
    waiting.reply = std::move(reply);
    waiting.timer = scheduler_.CreateTimer([this, id] { Pending(id, "not yet fired"); });
    waiting.timer->Start(scheduler_.Now() + wait_);
    return id;
}

void LiveFaults::OnEvent(const sim::Event& event)
{
    if (event.kind != sim::EventKind::kSent || event.liveFault == 0)
        return;
    const auto found = waiting_.find(event.liveFault);
    if (found == waiting_.end())
        return;
    const nlohmann::ordered_json answer = {
        {"id", event.liveFault},
        {"device", found->second.device},
        {"fault", found->second.kind},
        {"fired", true},
        {"event", nlohmann::ordered_json::parse(format_.Line(event))},
    };
    const Reply reply = std::move(found->second.reply);
    waiting_.erase(found);
    reply(JsonAnswer(answer));
}

void LiveFaults::EndRun()
{
    while (!waiting_.empty())
        Pending(waiting_.begin()->first, "the run ended before it fired");
}

void LiveFaults::Pending(uint64_t id, const char* why)
{
    const auto found = waiting_.find(id);
    if (found == waiting_.end())
        return;
    const nlohmann::ordered_json answer = {
        {"id", id},
        {"device", found->second.device},
        {"fault", found->second.kind},
        {"fired", false},
        {"note", std::string(why) + ": it applies to the device's next report, and GET /events shows when"},
    };
    const Reply reply = std::move(found->second.reply);
    retired_.push_back(std::move(found->second.timer));
    waiting_.erase(found);
    reply(JsonAnswer(answer, 202));
}

}  // namespace mimicbox::control
