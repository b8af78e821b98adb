#include "tools/server/DeviceServer.h"

#include <charconv>
#include <vector>

#include "link/Record.h"

namespace mimicbox::server {

DeviceServer::DeviceServer(const ServerOptions& options, sim::Scheduler& scheduler, sim::ServerNetwork& network,
                           ServerSink& sink, std::function<void()> onStopped)
    : options_(options), scheduler_(scheduler), network_(network), sink_(sink), onStopped_(std::move(onStopped)),
      toggleTimer_(scheduler, [this] { Toggle(0); }), statsTimer_(scheduler, [this] { OnStatsDue(); })
{
}

DeviceServer::~DeviceServer() { Stop(); }

bool DeviceServer::Listen(std::string& error)
{
    if (!network_.Listen(options_.listen, options_.port, *this, error))
        return false;
    const sim::Instant start = scheduler_.Now();
    if (options_.toggleEverySeconds > 0) {
        const sim::Nanos every = sim::Seconds(options_.toggleEverySeconds);
        toggleTimer_.Start(start + every, every);
    }
    if (options_.stats) {
        statsWindow_ = start;
        statsTimer_.Start(start + std::chrono::seconds(1), std::chrono::seconds(1));
    }
    // An IPv6 address in brackets, so that the port reads apart from it.
    const bool v6 = options_.listen.find(':') != std::string::npos;
    const std::string where = (v6 ? "[" + options_.listen + "]" : options_.listen) + ":" + std::to_string(network_.Port());
    ServerEvent event = Make(ServerEvent::Kind::kListening);
    event.text = where;
    Emit(event);
    return true;
}

ServerEvent DeviceServer::Make(ServerEvent::Kind kind, const sim::ServerConnection* connection) const
{
    ServerEvent event{};
    event.kind = kind;
    event.calendarMillis = scheduler_.CalendarMillis();
    if (connection) {
        event.peer = connection->Peer();
        const auto found = devices_.find(connection);
        if (found != devices_.end())
            event.device = found->second.identity;
    }
    return event;
}

void DeviceServer::OnAccepted(std::unique_ptr<sim::ServerConnection> connection)
{
    if (stopped_)
        return;
    const sim::ServerConnection* key = connection.get();
    devices_[key].connection = std::move(connection);
    stats_.OnConnect(scheduler_.Now());
    Emit(Make(ServerEvent::Kind::kConnected, key));
}

void DeviceServer::OnRecord(sim::ServerConnection& connection, std::string_view record)
{
    stats_.OnRecord();
    const report::RecordCheck check = report::CheckRecord(record);
    if (!check.readable)
        stats_.OnUnreadable();
    if (check.readable && check.command == CMD_REPORT) {
        devices_[&connection].identity = {check.deviceType, check.serial};
        if (options_.stats)
            stats_.OnReport(&connection, check.deviceType, scheduler_.Now());
    }
    ServerEvent event = Make(ServerEvent::Kind::kRecord, &connection);
    event.record = record;
    event.check = check;
    Emit(event);
}

void DeviceServer::OnOverflow(sim::ServerConnection& connection, std::size_t dropped)
{
    stats_.OnUnreadable();
    ServerEvent event = Make(ServerEvent::Kind::kOverflow, &connection);
    event.count = dropped;
    Emit(event);
}

void DeviceServer::OnClosed(sim::ServerConnection& connection, std::string_view reason)
{
    ServerEvent event = Make(ServerEvent::Kind::kClosed, &connection);
    event.text = reason;
    Emit(event);
    stats_.Forget(&connection);
    devices_.erase(&connection);
}

void DeviceServer::OnTrouble(const std::string& message)
{
    ServerEvent event = Make(ServerEvent::Kind::kTrouble);
    event.text = message;
    Emit(event);
}

void DeviceServer::OnCommand(std::string_view line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.remove_suffix(1);
    if (line == "q") {
        Stop();
    } else if (line == "l") {
        List();
    } else if (line == "t" || line.substr(0, 2) == "t ") {
        int32_t serial = 0;
        const std::string_view arg = line.size() > 2 ? line.substr(2) : std::string_view{};
        const auto result = std::from_chars(arg.data(), arg.data() + arg.size(), serial);
        if (!arg.empty() && (result.ec != std::errc{} || result.ptr != arg.data() + arg.size() || serial <= 0))
            Refuse("not a serial number: '" + std::string(arg) + "'");
        else if (Toggle(serial) == 0)
            Refuse(serial ? "no device " + std::to_string(serial) + " connected" : "no Relay-Box connected");
    } else if (!line.empty()) {
        Refuse("commands: t SERIAL, t, l, q");
    }
}

void DeviceServer::Refuse(const std::string& why)
{
    ServerEvent event = Make(ServerEvent::Kind::kRefused);
    event.text = why;
    Emit(event);
}

void DeviceServer::List()
{
    for (const auto& [key, device] : devices_)
        Emit(Make(ServerEvent::Kind::kDeviceListed, key));
    ServerEvent listed = Make(ServerEvent::Kind::kListed);
    listed.count = devices_.size();
    Emit(listed);
}

int DeviceServer::Toggle(int32_t serial)
{
    int sent = 0;
    std::vector<const sim::ServerConnection*> stuck;
    for (const auto& [key, device] : devices_) {
        const bool addressed = serial ? device.identity.nSerial == serial : device.identity.nDeviceType == TYPE_RELAY;
        if (!addressed)
            continue;
        const std::string record = FormatCommand(TYPE_RELAY, device.identity.nSerial, CMD_SWITCH_TOGGLE) + '\0';
        if (!device.connection->Send(record)) {
            stuck.push_back(key);
            continue;
        }
        ++sent;
        stats_.OnToggleSent();
        Emit(Make(ServerEvent::Kind::kToggleSent, key));
    }
    // A device that lets toggles pile up unread is not listening; it is let go.
    for (const sim::ServerConnection* key : stuck) {
        Emit(Make(ServerEvent::Kind::kNotReading, key));
        devices_[key].connection->Close();
        stats_.Forget(key);
        devices_.erase(key);
    }
    return sent;
}

void DeviceServer::OnStatsDue()
{
    const sim::Instant now = scheduler_.Now();
    const std::string line = stats_.Line(devices_.size(), now - statsWindow_);
    statsWindow_ = now;
    ServerEvent event = Make(ServerEvent::Kind::kStats);
    event.text = line;
    Emit(event);
}

void DeviceServer::Stop()
{
    if (stopped_)
        return;
    stopped_ = true;
    network_.Close();
    toggleTimer_.Cancel();
    // The last window, and the totals of the whole run.
    if (options_.stats) {
        statsTimer_.Cancel();
        OnStatsDue();
    }
    for (auto& [key, device] : devices_)
        device.connection->Close();
    devices_.clear();
    Emit(Make(ServerEvent::Kind::kStopped));
    if (onStopped_)
        onStopped_();
}

}  // namespace mimicbox::server
