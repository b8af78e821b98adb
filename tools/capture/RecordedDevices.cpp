#include "tools/capture/RecordedDevices.h"

#include <charconv>
#include <map>
#include <optional>

#include "link/Record.h"
#include "tools/io/RecordFramer.h"
#include "tools/report/RecordDecoder.h"

namespace mimicbox::capture {

namespace {

// One connection as it is read: its records framed each way, and the device once a report names it.
struct Connection {
    io::RecordFramer fromDevice{kLongestRecord};
    io::RecordFramer fromServer{kLongestRecord};
    double connected = 0;  // on the replay's clock
    std::optional<std::size_t> device;
    std::vector<sim::TimedRecord> early;  // commands before any report named the device
};

class Finder {
public:
    explicit Finder(const ReplaySettings& settings) : settings_(settings) {}

    void Take(const CaptureEvent& event)
    {
        const double t = settings_.Replayed(event.t);
        result_.length = std::max(result_.length, t);
        auto [entry, added] = conns_.try_emplace(event.conn);
        Connection& conn = entry->second;
        if (added)
            conn.connected = t;
        if (event.kind == CaptureKind::kData && event.from == Side::kDevice)
            conn.fromDevice.Feed(event.bytes, [&](std::string_view record) { Report(conn, record, t); }, [](std::size_t) {});
        else if (event.kind == CaptureKind::kData)
            conn.fromServer.Feed(event.bytes, [&](std::string_view record) { Command(conn, record, t); }, [](std::size_t) {});
        else if (event.kind == CaptureKind::kClose || event.kind == CaptureKind::kReset)
            Forget(event.conn);
    }

    RecordedDevices Finish()
    {
        while (!conns_.empty())
            Forget(conns_.begin()->first);
        return std::move(result_);
    }

private:
    void Report(Connection& conn, std::string_view record, double t)
    {
        const report::RecordCheck check = report::CheckRecord(record);
        // Serials run from 1, as everywhere a device is named: a report with another names none.
        if (!check.readable || check.command != CMD_REPORT || check.serial < 1)
            return;
        const DeviceIdentity identity{check.deviceType, check.serial};
        if (!conn.device)
            Name(conn, identity);
        double value = check.switchState;
        if (check.deviceType == TYPE_THERMO)
            std::from_chars(check.temperature.data(), check.temperature.data() + check.temperature.size(), value);
        result_.devices[*conn.device].values.push_back({t, value});
    }

    void Name(Connection& conn, const DeviceIdentity& identity)
    {
        const auto key = std::make_pair(identity.nDeviceType, identity.nSerial);
        auto [found, added] = byIdentity_.try_emplace(key, result_.devices.size());
        if (added) {
            result_.devices.push_back({identity, conn.connected, {}, {}});
            firstConnected_.push_back(conn.connected);
        }
        conn.device = found->second;
        for (sim::TimedRecord& command : conn.early)
            Command(conn, std::move(command));
        conn.early.clear();
    }

    void Command(Connection& conn, std::string_view record, double t)
    {
        sim::TimedRecord command{t, std::string(record)};
        if (!conn.device)
            conn.early.push_back(std::move(command));
        else
            Command(conn, std::move(command));
    }

    void Command(Connection& conn, sim::TimedRecord command)
    {
        command.seconds -= firstConnected_[*conn.device];
        result_.devices[*conn.device].commands.push_back(std::move(command));
    }

    void Forget(uint64_t conn)
    {
        const auto found = conns_.find(conn);
        if (found != conns_.end() && !found->second.device)
            ++result_.unnamed;
        conns_.erase(conn);
    }

    const ReplaySettings& settings_;
    RecordedDevices result_;
    std::map<uint64_t, Connection> conns_;
    std::map<std::pair<int32_t, int32_t>, std::size_t> byIdentity_;
    std::vector<double> firstConnected_;
};

}  // namespace

RecordedDevices FindDevices(const Capture& capture, const ReplaySettings& settings)
{
    Finder finder(settings);
    for (const CaptureEvent& event : capture.events)
        if (settings.Within(event.t))
            finder.Take(event);
    return finder.Finish();
}

}  // namespace mimicbox::capture
