#include "tools/cli/Runner.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <string>

#include "link/IncomingRecords.h"
#include "platform/Resolver.h"
#include "tools/Terminal.h"

namespace mimicbox {

namespace {

using Clock = EventLoop::Clock;

constexpr auto kConnectTimeout = std::chrono::seconds(20);
// A server that stops reading is given up once this much is waiting to be sent.
constexpr std::size_t kMaxPending = 1 << 20;

std::chrono::milliseconds Milliseconds(double fSeconds)
{
    return std::chrono::milliseconds(static_cast<long long>(std::llround(fSeconds * 1000.0)));
}

// Resolves host to an IPv4 address; false with the resolver's message.
bool Resolve(const std::string& strHost, unsigned nPort, sockaddr_in& address, std::string& strError)
{
    address = sockaddr_in{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(nPort));
    int nError = 0;
    if (LookUpIPv4(strHost.c_str(), address.sin_addr, nError))
        return true;
    strError = std::string("cannot resolve ") + strHost + ": " + ::gai_strerror(nError);
    return false;
}

}  // namespace

struct Runner::DeviceRun {
    explicit DeviceRun(const RunOptions& options, const DeviceIdentity& identity)
        : device(identity, options.strTemperature, options.nStepMode)
    {
    }

    SimulatedDevice device;
    int fd = -1;
    bool bConnected = false;
    bool bDone = false;
    bool bFailed = false;
    std::string strPending;
    Clock::time_point start;
    long nTick = 0;  // deadlines passed since the connection was made
    int nTimer = 0;
    long nReports = 0;
    long nCommands = 0;
    long nToggles = 0;
    Clock::time_point lastSend;
    bool bHasLastSend = false;
    std::vector<double> intervalsMs;
};

Runner::Runner(const RunOptions& options, EventLoop& loop, std::FILE* out, std::FILE* err)
    : m_options(options), m_loop(loop), m_out(out), m_err(err)
{
    for (const DeviceIdentity& identity : m_options.devices)
        m_runs.push_back(std::make_unique<DeviceRun>(m_options, identity));
}

Runner::~Runner()
{
    for (auto& pRun : m_runs)
        Disconnect(*pRun);
}

int Runner::Run()
{
    m_loop.OnTerminationSignal([this](int) { m_loop.Stop(); });
    if (m_options.fDurationSeconds > 0)
        m_loop.At(Clock::now() + Milliseconds(m_options.fDurationSeconds), [this] { m_loop.Stop(); });
    for (auto& pRun : m_runs)
        Connect(*pRun);
    StopIfFinished();
    m_loop.Run();

    bool bFailed = false;
    for (auto& pRun : m_runs) {
        Disconnect(*pRun);
        PrintSummary(*pRun);
        bFailed = bFailed || pRun->bFailed;
    }
    std::fflush(m_out);
    return bFailed ? 1 : 0;
}

void Runner::Connect(DeviceRun& run)
{
    sockaddr_in address{};
    std::string strError;
    if (!Resolve(m_options.strServer, m_options.nPort, address, strError)) {
        Drop(run, strError);
        return;
    }
    run.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (run.fd < 0) {
        Drop(run, std::string("cannot create a socket: ") + std::strerror(errno));
        return;
    }
    if (::connect(run.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        OnConnected(run);
        return;
    }
    if (errno != EINPROGRESS) {
        Drop(run, std::string("cannot connect: ") + std::strerror(errno));
        return;
    }
    run.nTimer = m_loop.At(Clock::now() + kConnectTimeout,
                           [this, &run] { Drop(run, std::string("cannot connect: ") + std::strerror(ETIMEDOUT)); });
    m_loop.Watch(run.fd, POLLOUT, [this, &run](short) {
        int nError = 0;
        socklen_t nLen = sizeof nError;
        ::getsockopt(run.fd, SOL_SOCKET, SO_ERROR, &nError, &nLen);
        m_loop.Cancel(run.nTimer);
        if (nError != 0)
            Drop(run, std::string("cannot connect: ") + std::strerror(nError));
        else
            OnConnected(run);
    });
}

void Runner::OnConnected(DeviceRun& run)
{
    run.bConnected = true;
    run.start = Clock::now();
    run.nTick = 0;
    run.bHasLastSend = false;
    if (!m_options.bQuiet)
        std::fprintf(m_out, "%s %s connected to %s:%u\n", TimestampNow().c_str(), run.device.Name().c_str(),
                     m_options.strServer.c_str(), m_options.nPort);
    WatchSocket(run);
    ScheduleReport(run);
}

void Runner::ScheduleReport(DeviceRun& run)
{
    // Fixed deadlines from the connection's start keep the period from drifting; deadlines missed
    // while the process was held up are skipped, not sent in a burst.
    const auto period = std::chrono::milliseconds(run.device.PeriodMs());
    const auto now = Clock::now();
    ++run.nTick;
    auto due = run.start + period * run.nTick;
    if (due < now - period) {
        run.nTick = (now - run.start) / period + 1;
        due = run.start + period * run.nTick;
    }
    run.nTimer = m_loop.At(due, [this, &run] { SendReport(run); });
}

void Runner::SendReport(DeviceRun& run)
{
    const std::string text = run.device.NextReport(static_cast<int64_t>(std::time(nullptr)));
    const auto now = Clock::now();
    if (run.bHasLastSend)
        run.intervalsMs.push_back(std::chrono::duration<double, std::milli>(now - run.lastSend).count());
    run.lastSend = now;
    run.bHasLastSend = true;
    ++run.nReports;
    if (!m_options.bQuiet)
        std::fprintf(m_out, "%s %s -> %s\n", TimestampNow().c_str(), run.device.Name().c_str(), EscapeBytes(text).c_str());
    run.strPending += text;
    run.strPending += '\0';
    Flush(run);
    if (!run.bConnected)
        return;
    if (m_options.nReports > 0 && run.nReports >= m_options.nReports) {
        run.bDone = true;
        StopIfFinished();
        return;
    }
    ScheduleReport(run);
}

void Runner::Flush(DeviceRun& run)
{
    while (!run.strPending.empty()) {
        const ssize_t n = ::send(run.fd, run.strPending.data(), run.strPending.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            run.strPending.erase(0, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        Drop(run, std::string("connection lost: ") + std::strerror(errno));
        return;
    }
    if (run.strPending.size() > kMaxPending) {
        Drop(run, "connection lost: the server does not read");
        return;
    }
    WatchSocket(run);
}

void Runner::WatchSocket(DeviceRun& run)
{
    const short events = static_cast<short>(POLLIN | (run.strPending.empty() ? 0 : POLLOUT));
    m_loop.Watch(run.fd, events, [this, &run](short revents) {
        if (revents & POLLOUT)
            Flush(run);
        if (run.bConnected && (revents & (POLLIN | POLLHUP | POLLERR)))
            OnReadable(run);
    });
}

void Runner::OnReadable(DeviceRun& run)
{
    char buffer[RECEIVE_BUFFER_SIZE];
    const ssize_t n = ::recv(run.fd, buffer, RECEIVE_BUFFER_SIZE - 1, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return;
    if (n <= 0) {
        Drop(run, n == 0 ? std::string("connection closed by the server")
                         : std::string("connection lost: ") + std::strerror(errno));
        return;
    }
    buffer[n] = '\0';
    const SimulatedDevice::ChunkResult result = run.device.OnChunk(buffer, static_cast<int>(n));
    run.nCommands += result.nRecords;
    run.nToggles += result.nToggles;
    if (m_options.bQuiet)
        return;
    // Show every record of the chunk; those after the first unreadable one are dropped, as the dialog does.
    int nIndex = 0;
    for (const char* p = buffer; p < buffer + n; p += std::strlen(p) + 1, ++nIndex)
        std::fprintf(m_out, "%s %s <- %s%s\n", TimestampNow().c_str(), run.device.Name().c_str(),
                     EscapeBytes(p).c_str(), nIndex < result.nRecords ? "" : "  (not read)");
}

void Runner::Drop(DeviceRun& run, const std::string& strReason)
{
    Disconnect(run);
    std::fprintf(m_err, "%s %s: %s\n", TimestampNow().c_str(), run.device.Name().c_str(), strReason.c_str());
    if (m_options.fReconnectSeconds > 0) {
        run.nTimer = m_loop.At(Clock::now() + Milliseconds(m_options.fReconnectSeconds), [this, &run] { Connect(run); });
        return;
    }
    run.bFailed = true;
    StopIfFinished();
}

void Runner::Disconnect(DeviceRun& run)
{
    m_loop.Cancel(run.nTimer);
    run.nTimer = 0;
    if (run.fd >= 0) {
        m_loop.Unwatch(run.fd);
        if (run.bConnected)
            ::shutdown(run.fd, SHUT_WR);
        ::close(run.fd);
        run.fd = -1;
    }
    run.bConnected = false;
    run.strPending.clear();
}

void Runner::StopIfFinished()
{
    const bool bFinished = std::all_of(m_runs.begin(), m_runs.end(), [](const auto& pRun) { return pRun->bDone || pRun->bFailed; });
    if (bFinished)
        m_loop.Stop();
}

void Runner::PrintSummary(const DeviceRun& run)
{
    std::fprintf(m_out, "%s: %ld reports, %ld commands, %ld toggles applied", run.device.Name().c_str(), run.nReports,
                 run.nCommands, run.nToggles);
    if (!run.intervalsMs.empty()) {
        const double fPeriod = run.device.PeriodMs();
        double fSum = 0;
        std::vector<double> deviations;
        for (const double fInterval : run.intervalsMs) {
            fSum += fInterval;
            deviations.push_back(std::abs(fInterval - fPeriod));
        }
        std::sort(deviations.begin(), deviations.end());
        const std::size_t nP99 = static_cast<std::size_t>(std::lround(0.99 * static_cast<double>(deviations.size() - 1)));
        std::fprintf(m_out, ", period mean %.2f ms, p99 deviation %.2f ms, worst %.2f ms",
                     fSum / static_cast<double>(run.intervalsMs.size()), deviations[nP99], deviations.back());
    }
    std::fprintf(m_out, "%s\n", run.bFailed ? ", connection failed" : "");
}

}  // namespace mimicbox
