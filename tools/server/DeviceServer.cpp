#include "tools/server/DeviceServer.h"

#include <charconv>
#include <cmath>
#include <vector>

#include "core/DeviceModel.h"
#include "link/Record.h"
#include "tools/report/RecordDecoder.h"
#include "tools/report/Text.h"
#include "tools/sim/Device.h"

namespace mimicbox::server {

DeviceServer::DeviceServer(const ServerOptions& options, asio::io_context& context, sim::Scheduler& scheduler,
                           std::FILE* out, std::FILE* err)
    : options_(options), context_(context), scheduler_(scheduler), out_(out), err_(err),
      listener_(
          context, [this](asio::ip::tcp::socket socket) { OnAccepted(std::move(socket)); },
          [this](const std::string& message) { Print(err_, "", message); }),
      buffer_(std::make_shared<io::SharedReadBuffer>())
{
}

DeviceServer::~DeviceServer() { Stop(); }

bool DeviceServer::Listen(std::string& error)
{
    if (!listener_.Listen(options_.listen, options_.port, error))
        return false;
    start_ = scheduler_.Now();
    if (options_.toggleEverySeconds > 0) {
        toggleTimer_ = scheduler_.CreateTimer([this] { OnToggleTimer(); });
        toggleTimer_->Start(start_ + sim::Seconds(options_.toggleEverySeconds));
    }
    if (options_.stats) {
        statsTimer_ = scheduler_.CreateTimer([this] { OnStatsTimer(); });
        statsTimer_->Start(start_ + std::chrono::seconds(1));
    }
    Print(out_, "", "listening on " + options_.listen + ":" + std::to_string(listener_.Port()));
    return true;
}

void DeviceServer::OnAccepted(asio::ip::tcp::socket socket)
{
    auto session = std::make_shared<io::ServerSession>(std::move(socket), *this, buffer_);
    sessions_.emplace(session.get(), session);
    stats_.OnConnect(scheduler_.Now());
    if (!options_.quiet)
        Print(out_, session->Peer(), "connected");
    session->Start();
}

void DeviceServer::OnRecord(io::ServerSession& session, std::string_view record)
{
    stats_.OnRecord();
    const report::RecordCheck check = report::CheckRecord(record);
    if (!check.readable)
        stats_.OnUnreadable();
    if (check.readable && check.command == CMD_REPORT) {
        session.deviceType = check.deviceType;
        session.serial = check.serial;
        if (options_.stats)
            stats_.OnReport(&session, check.deviceType, scheduler_.Now());
    }
    // Quiet, a readable record costs no text at all.
    if (!options_.quiet || !check.readable)
        Print(out_, session.Peer(), report::DescribeRecord(record, check));
}

void DeviceServer::OnOverflow(io::ServerSession& session, std::size_t dropped)
{
    stats_.OnUnreadable();
    Print(out_, session.Peer(), "unreadable: " + std::to_string(dropped) + " bytes without a record end, dropped");
}

void DeviceServer::OnClosed(io::ServerSession& session, std::string_view reason)
{
    if (!options_.quiet)
        Print(out_, session.Peer(), DeviceLabel(session) + " " + std::string(reason));
    stats_.Forget(&session);
    sessions_.erase(&session);
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
            std::fprintf(err_, "not a serial number: '%.*s'\n", static_cast<int>(arg.size()), arg.data());
        else if (Toggle(serial) == 0)
            std::fprintf(err_, "no %s connected\n", serial ? ("device " + std::to_string(serial)).c_str() : "Relay-Box");
    } else if (!line.empty()) {
        std::fprintf(err_, "commands: t SERIAL, t, l, q\n");
    }
    std::fflush(out_);
}

void DeviceServer::List()
{
    for (const auto& [key, session] : sessions_) {
        const char* model = ModelName(session->deviceType);
        std::fprintf(out_, "%s %s %d\n", session->Peer().c_str(), model ? model : "unknown device", session->serial);
    }
    std::fprintf(out_, "%s connected\n", report::Count(sessions_.size(), "device").c_str());
}

int DeviceServer::Toggle(int32_t serial)
{
    int sent = 0;
    std::vector<io::ServerSession*> stuck;
    for (const auto& [key, session] : sessions_) {
        const bool addressed = serial ? session->serial == serial : session->deviceType == TYPE_RELAY;
        if (!addressed)
            continue;
        const std::string record = FormatCommand(TYPE_RELAY, session->serial, CMD_SWITCH_TOGGLE) + '\0';
        if (!session->Send(record)) {
            stuck.push_back(key);
            continue;
        }
        ++sent;
        stats_.OnToggleSent();
        if (!options_.quiet)
            Print(out_, session->Peer(), "toggle sent to " + std::to_string(session->serial));
    }
    // A device that lets toggles pile up unread is not listening; it is let go.
    for (io::ServerSession* session : stuck) {
        Print(out_, session->Peer(), DeviceLabel(*session) + " does not read; closed");
        session->Close();
        stats_.Forget(session);
        sessions_.erase(session);
    }
    return sent;
}

void DeviceServer::Stop()
{
    if (stopped_)
        return;
    stopped_ = true;
    listener_.Close();
    if (toggleTimer_)
        toggleTimer_->Cancel();
    // The last window, and the totals of the whole run.
    if (statsTimer_) {
        statsTimer_->Cancel();
        Print(out_, "", "stats: " + stats_.Line(sessions_.size(), scheduler_.Now() - (start_ + std::chrono::seconds(statsTick_))));
    }
    for (auto& [key, session] : sessions_)
        session->Close();
    sessions_.clear();
    Print(out_, "", "stopped");
    context_.stop();
}

void DeviceServer::OnToggleTimer()
{
    Toggle(0);
    toggleTimer_->Start(start_ + sim::Seconds(options_.toggleEverySeconds * static_cast<double>(++toggleTick_ + 1)));
}

void DeviceServer::OnStatsTimer()
{
    ++statsTick_;
    Print(out_, "", "stats: " + stats_.Line(sessions_.size(), std::chrono::seconds(1)));
    statsTimer_->Start(start_ + std::chrono::seconds(statsTick_ + 1));
}

std::string DeviceServer::DeviceLabel(const io::ServerSession& session)
{
    return session.deviceType == 0 ? "unknown device" : sim::DeviceName({session.deviceType, session.serial});
}

void DeviceServer::Print(std::FILE* stream, const std::string& peer, const std::string& text)
{
    const std::string time = report::LocalTimestamp(scheduler_.CalendarMillis());
    if (peer.empty())
        std::fprintf(stream, "%s %s\n", time.c_str(), text.c_str());
    else
        std::fprintf(stream, "%s %s %s\n", time.c_str(), peer.c_str(), text.c_str());
}

}  // namespace mimicbox::server
