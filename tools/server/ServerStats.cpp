#include "tools/server/ServerStats.h"

#include <algorithm>
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

void ServerStats::OnConnect(sim::Instant now)
{
    const int64_t slot = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() / 100;
    burst_ = slot == burstSlot_ ? burst_ + 1 : 1;
    burstSlot_ = slot;
    peakBurst_ = std::max(peakBurst_, burst_);
}

std::string ServerStats::Line(std::size_t devices, sim::Nanos window)
{
    const double seconds = std::chrono::duration<double>(window).count();
    const double rate = seconds > 0 ? static_cast<double>(records_ - recordsBefore_) / seconds : 0.0;
    char text[240];
    std::snprintf(text, sizeof text,
                  "devices %zu, records/s %.1f, records %llu, unreadable %llu, toggles sent %llu, connects per 100 ms "
                  "%llu, period deviation p99 %.2f ms",
                  devices, rate, static_cast<unsigned long long>(records_), static_cast<unsigned long long>(unreadable_),
                  static_cast<unsigned long long>(toggles_),
                  static_cast<unsigned long long>(peakBurst_),
                  sim::ToMilliseconds(deviation_.Percentile(0.99)));
    recordsBefore_ = records_;
    deviation_ = sim::RunHistogram{};
    peakBurst_ = 0;
    return text;
}

}  // namespace mimicbox::server
