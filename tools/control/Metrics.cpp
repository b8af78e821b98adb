#include "tools/control/Metrics.h"

#include <cstdio>

#include "core/DeviceModel.h"

namespace mimicbox::control {

namespace {

void Count(uint64_t& thermo, uint64_t& relay, int32_t deviceType)
{
    (deviceType == TYPE_RELAY ? relay : thermo) += 1;
}

std::string Number(double value)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

void Family(std::string& text, const char* name, const char* type, const char* help)
{
    text += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
}

}  // namespace

void Metrics::OnEvent(const sim::Event& event)
{
    if (event.kind == sim::EventKind::kSent) {
        Count(reports_.thermo, reports_.relay, event.identity.nDeviceType);
        const double seconds = std::chrono::duration<double>(event.lateness).count();
        for (std::size_t i = 0; i < kBounds.size(); ++i)
            buckets_[i] += seconds <= kBounds[i] ? 1u : 0u;
        ++latenessCount_;
        latenessSum_ += seconds;
        missed_ += static_cast<uint64_t>(event.skipped) + (event.missed ? 1u : 0u);
        if (event.fault)
            ++faults_[event.fault];
    } else if (event.kind == sim::EventKind::kReceived && event.read) {
        Count(commands_.thermo, commands_.relay, event.identity.nDeviceType);
    } else {
        OnConnection(event);
    }
}

void Metrics::OnConnection(const sim::Event& event)
{
    if (event.device >= connected_.size()) {
        connected_.resize(event.device + 1);
        everConnected_.resize(event.device + 1);
    }
    const bool ends = event.kind == sim::EventKind::kLost || event.kind == sim::EventKind::kStopped ||
                      event.kind == sim::EventKind::kClosed || event.kind == sim::EventKind::kRemoved;
    if (event.kind == sim::EventKind::kConnected && !connected_[event.device]) {
        reconnects_ += everConnected_[event.device] ? 1u : 0u;
        connected_[event.device] = everConnected_[event.device] = true;
    } else if (ends && connected_[event.device]) {
        ++disconnects_;
        connected_[event.device] = false;
    }
}

std::string Metrics::Text(std::size_t devices, std::size_t connected) const
{
    std::string text;
    Family(text, "mimicbox_reports_sent_total", "counter", "Reports sent, by device model.");
    text += "mimicbox_reports_sent_total{model=\"thermo\"} " + std::to_string(reports_.thermo) + "\n";
    text += "mimicbox_reports_sent_total{model=\"relay\"} " + std::to_string(reports_.relay) + "\n";
    Family(text, "mimicbox_commands_received_total", "counter", "Records read from the server, by device model.");
    text += "mimicbox_commands_received_total{model=\"thermo\"} " + std::to_string(commands_.thermo) + "\n";
    text += "mimicbox_commands_received_total{model=\"relay\"} " + std::to_string(commands_.relay) + "\n";
    Family(text, "mimicbox_devices", "gauge", "Devices in the plant now.");
    text += "mimicbox_devices " + std::to_string(devices) + "\n";
    Family(text, "mimicbox_connected_devices", "gauge", "Devices connected to the server now.");
    text += "mimicbox_connected_devices " + std::to_string(connected) + "\n";
    Family(text, "mimicbox_report_lateness_seconds", "histogram", "Send time of a report minus its deadline.");
    for (std::size_t i = 0; i < kBounds.size(); ++i)
        text += "mimicbox_report_lateness_seconds_bucket{le=\"" + Number(kBounds[i]) + "\"} " + std::to_string(buckets_[i]) + "\n";
    text += "mimicbox_report_lateness_seconds_bucket{le=\"+Inf\"} " + std::to_string(latenessCount_) + "\n";
    text += "mimicbox_report_lateness_seconds_sum " + Number(latenessSum_) + "\n";
    text += "mimicbox_report_lateness_seconds_count " + std::to_string(latenessCount_) + "\n";
    Family(text, "mimicbox_missed_ticks_total", "counter",
           "Reports more than half a period late, and deadlines passed without a report.");
    text += "mimicbox_missed_ticks_total " + std::to_string(missed_) + "\n";
    Family(text, "mimicbox_disconnects_total", "counter", "Connections that ended, however they ended.");
    text += "mimicbox_disconnects_total " + std::to_string(disconnects_) + "\n";
    Family(text, "mimicbox_reconnects_total", "counter", "Connects of a device that had been connected before.");
    text += "mimicbox_reconnects_total " + std::to_string(reconnects_) + "\n";
    Family(text, "mimicbox_faults_injected_total", "counter", "Faults applied to reports, by kind.");
    for (const auto& [kind, count] : faults_)
        text += "mimicbox_faults_injected_total{kind=\"" + kind + "\"} " + std::to_string(count) + "\n";
    return text;
}

}  // namespace mimicbox::control
