#include "tools/server/DeviceServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

#include "core/DeviceModel.h"
#include "link/Record.h"
#include "tools/Terminal.h"
#include "tools/server/RecordDecoder.h"

namespace mimicbox {

namespace {

// A device that sends this much without a NUL is sending no records.
constexpr std::size_t kMaxRecord = 65536;

std::string PeerName(const sockaddr_in& address)
{
    char szAddress[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address.sin_addr, szAddress, sizeof szAddress);
    return std::string(szAddress) + ":" + std::to_string(ntohs(address.sin_port));
}

std::string ModelText(int32_t nDeviceType)
{
    const char* pszName = ModelName(nDeviceType);
    return pszName ? pszName : "unknown device";
}

}  // namespace

DeviceServer::DeviceServer(const ServerOptions& options, EventLoop& loop, std::FILE* out, std::FILE* err)
    : m_options(options), m_loop(loop), m_out(out), m_err(err)
{
}

DeviceServer::~DeviceServer() { Stop(); }

bool DeviceServer::Listen(std::string& strError)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(m_options.nPort));
    if (::inet_pton(AF_INET, m_options.strListen.c_str(), &address.sin_addr) != 1) {
        strError = "'" + m_options.strListen + "' is no IPv4 address";
        return false;
    }
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(m_listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener, SOMAXCONN) != 0) {
        strError = "cannot listen on " + m_options.strListen + ":" + std::to_string(m_options.nPort) + ": " +
                   std::strerror(errno);
        ::close(m_listener);
        m_listener = -1;
        return false;
    }
    m_loop.Watch(m_listener, POLLIN, [this](short) { OnAccept(); });
    m_loop.OnTerminationSignal([this](int) { Stop(); });
    m_start = EventLoop::Clock::now();
    if (m_options.fToggleEverySeconds > 0)
        ScheduleToggle(1);
    std::fprintf(m_out, "%s listening on %s:%u\n", TimestampNow().c_str(), m_options.strListen.c_str(), m_options.nPort);
    std::fflush(m_out);
    return true;
}

void DeviceServer::ReadCommandsFrom(int fd)
{
    m_commandFd = fd;
    m_loop.Watch(fd, POLLIN, [this](short) {
        char buffer[512];
        const ssize_t n = ::read(m_commandFd, buffer, sizeof buffer);
        if (n <= 0) {
            // No more commands (a closed terminal or pipe); the server goes on.
            m_loop.Unwatch(m_commandFd);
            return;
        }
        m_strCommand.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t nEnd; (nEnd = m_strCommand.find('\n')) != std::string::npos;) {
            const std::string line = m_strCommand.substr(0, nEnd);
            m_strCommand.erase(0, nEnd + 1);
            OnCommand(line);
        }
        if (m_strCommand.size() > sizeof buffer)
            m_strCommand.clear();
    });
}

void DeviceServer::OnCommand(std::string_view line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.remove_suffix(1);
    if (line == "q") {
        Stop();
    } else if (line == "l") {
        for (const auto& [fd, client] : m_clients)
            std::fprintf(m_out, "%s %s %d\n", client.strPeer.c_str(), ModelText(client.nDeviceType).c_str(), client.nSerial);
        std::fprintf(m_out, "%zu devices connected\n", m_clients.size());
    } else if (line == "t" || line.substr(0, 2) == "t ") {
        int32_t nSerial = 0;
        const std::string_view arg = line.size() > 2 ? line.substr(2) : std::string_view{};
        const auto result = std::from_chars(arg.data(), arg.data() + arg.size(), nSerial);
        if (!arg.empty() && (result.ec != std::errc{} || result.ptr != arg.data() + arg.size() || nSerial <= 0)) {
            std::fprintf(m_err, "not a serial number: '%.*s'\n", static_cast<int>(arg.size()), arg.data());
        } else if (Toggle(nSerial) == 0) {
            std::fprintf(m_err, "no %s connected\n", nSerial ? ("device " + std::to_string(nSerial)).c_str() : "Relay-Box");
        }
    } else if (!line.empty()) {
        std::fprintf(m_err, "commands: t SERIAL, t, l, q\n");
    }
    std::fflush(m_out);
}

int DeviceServer::Toggle(int32_t nSerial)
{
    int nSent = 0;
    std::vector<int> lost;
    for (auto& [fd, client] : m_clients) {
        const bool bAddressed = nSerial ? client.nSerial == nSerial : client.nDeviceType == TYPE_RELAY;
        if (!bAddressed)
            continue;
        const std::string record = FormatCommand(TYPE_RELAY, client.nSerial, CMD_SWITCH_TOGGLE) + '\0';
        const ssize_t n = ::send(fd, record.data(), record.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n != static_cast<ssize_t>(record.size())) {
            lost.push_back(fd);
            continue;
        }
        ++nSent;
        if (!m_options.bQuiet)
            std::fprintf(m_out, "%s %s toggle sent to %d\n", TimestampNow().c_str(), client.strPeer.c_str(), client.nSerial);
    }
    for (const int fd : lost)
        CloseClient(fd, "cannot send");
    std::fflush(m_out);
    return nSent;
}

void DeviceServer::Stop()
{
    while (!m_clients.empty())
        CloseClient(m_clients.begin()->first, nullptr);
    if (m_listener >= 0) {
        m_loop.Unwatch(m_listener);
        ::close(m_listener);
        m_listener = -1;
        std::fprintf(m_out, "%s stopped\n", TimestampNow().c_str());
        std::fflush(m_out);
    }
    m_loop.Stop();
}

void DeviceServer::OnAccept()
{
    for (;;) {
        sockaddr_in address{};
        socklen_t nLen = sizeof address;
        const int fd = ::accept4(m_listener, reinterpret_cast<sockaddr*>(&address), &nLen, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        Client& client = m_clients[fd];
        client.strPeer = PeerName(address);
        std::fprintf(m_out, "%s %s connected\n", TimestampNow().c_str(), client.strPeer.c_str());
        m_loop.Watch(fd, POLLIN, [this, fd](short) { OnClientReadable(fd); });
    }
}

void DeviceServer::OnClientReadable(int fd)
{
    char buffer[65536];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return;
    if (n <= 0) {
        CloseClient(fd, n == 0 ? "closed the connection" : std::strerror(errno));
        return;
    }
    Client& client = m_clients[fd];
    client.strPending.append(buffer, static_cast<std::size_t>(n));
    std::size_t nStart = 0;
    for (std::size_t nNul; (nNul = client.strPending.find('\0', nStart)) != std::string::npos; nStart = nNul + 1)
        OnRecord(client, std::string_view(client.strPending).substr(nStart, nNul - nStart));
    client.strPending.erase(0, nStart);
    if (client.strPending.size() > kMaxRecord) {
        std::fprintf(m_out, "%s %s unreadable: %zu bytes without a record end, dropped\n", TimestampNow().c_str(),
                     client.strPeer.c_str(), client.strPending.size());
        client.strPending.clear();
    }
    std::fflush(m_out);
}

void DeviceServer::OnRecord(Client& client, std::string_view record)
{
    const DecodedRecord decoded = DecodeRecord(record);
    if (decoded.bReadable && decoded.nCommand == CMD_REPORT) {
        client.nDeviceType = decoded.nDeviceType;
        client.nSerial = decoded.nSerial;
    }
    if (!m_options.bQuiet || !decoded.bReadable)
        std::fprintf(m_out, "%s %s %s\n", TimestampNow().c_str(), client.strPeer.c_str(), decoded.strText.c_str());
}

void DeviceServer::CloseClient(int fd, const char* pszWhy)
{
    auto it = m_clients.find(fd);
    if (it == m_clients.end())
        return;
    if (pszWhy)
        std::fprintf(m_out, "%s %s %s\n", TimestampNow().c_str(), it->second.strPeer.c_str(), pszWhy);
    m_loop.Unwatch(fd);
    ::close(fd);
    m_clients.erase(it);
}

void DeviceServer::ScheduleToggle(long nTick)
{
    const auto period = std::chrono::milliseconds(std::llround(m_options.fToggleEverySeconds * 1000.0));
    m_loop.At(m_start + period * nTick, [this, nTick] {
        if (m_listener < 0)
            return;
        Toggle(0);
        ScheduleToggle(nTick + 1);
    });
}

}  // namespace mimicbox
