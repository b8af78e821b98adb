#include "tools/server/ServerStats.h"

#include <cstdio>

#include "core/DeviceModel.h"

namespace mimicbox::server {

void ServerStats::OnReport(const void* session, int32_t deviceType, sim::Instant now)
{
    auto [it, first] = lastReport_.try_emplace(session, now);
    if (first)
        return;
    const sim::Nanos interval = now - it->second;
    const sim::Nanos period = sim::Milliseconds(ReportPeriodMs(deviceType));
    deviation_.Add(interval > period ? interval - period : period - interval);
    it->second = now;
}

std::string ServerStats::Line(std::size_t devices, sim::Nanos window)
{
    const double seconds = std::chrono::duration<double>(window).count();
    const double rate = seconds > 0 ? static_cast<double>(records_ - recordsBefore_) / seconds : 0.0;
    char text[200];
    std::snprintf(text, sizeof text,
                  "devices %zu, records/s %.1f, unreadable %llu, toggles sent %llu, period deviation p99 %.2f ms",
                  devices, rate, static_cast<unsigned long long>(unreadable_), static_cast<unsigned long long>(toggles_),
                  sim::ToMilliseconds(deviation_.Percentile(0.99)));
    recordsBefore_ = records_;
    deviation_ = sim::RunHistogram{};
    return text;
}

}  // namespace mimicbox::server
