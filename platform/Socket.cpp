#include "platform/Socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "platform/Resolver.h"
#include "platform/WindowSystem.h"

namespace {

thread_local int t_nLastError = 0;

int Fail(int nError)
{
    t_nLastError = nError;
    return SOCKET_ERROR;
}

ISocketLoop* Loop()
{
    IWindowSystem* pSystem = AfxGetWindowSystem();
    return pSystem ? &pSystem->Sockets() : nullptr;
}

int SocketError(int fd)
{
    int nError = 0;
    socklen_t nLen = sizeof nError;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &nError, &nLen) != 0)
        return errno;
    return nError;
}

std::chrono::steady_clock::time_point BlockingDeadline()
{
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(CSocket::BLOCKING_TIMEOUT_MS);
}

}  // namespace

BOOL AfxSocketInit()
{
    // A send to a peer that has gone away must fail, not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    return TRUE;
}

int WSAGetLastError() { return t_nLastError; }

CAsyncSocket::CAsyncSocket() = default;

CAsyncSocket::~CAsyncSocket()
{
    *m_pAlive = false;
    Close();
}

BOOL CAsyncSocket::Create(UINT nSocketPort, int nSocketType, long lEvent, const char* pszSocketAddress)
{
    if (m_fd >= 0 || nSocketType != SOCK_STREAM_TYPE || nSocketPort > 65535) {
        Fail(EINVAL);
        return FALSE;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        Fail(errno);
        return FALSE;
    }
    if (nSocketPort != 0 || pszSocketAddress) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(static_cast<uint16_t>(nSocketPort));
        if (pszSocketAddress && ::inet_pton(AF_INET, pszSocketAddress, &local.sin_addr) != 1) {
            ::close(fd);
            Fail(EINVAL);
            return FALSE;
        }
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
            Fail(errno);
            ::close(fd);
            return FALSE;
        }
    }
    m_fd = fd;
    m_lEvent = lEvent;
    WatchForData();
    return TRUE;
}

BOOL CAsyncSocket::StartConnect(const char* pszHostAddress, UINT nHostPort)
{
    if (m_fd < 0) {
        Fail(EBADF);
        return FALSE;
    }
    if (!pszHostAddress || nHostPort < 1 || nHostPort > 65535) {
        Fail(EINVAL);
        return FALSE;
    }
    ISocketLoop* pLoop = Loop();
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(static_cast<uint16_t>(nHostPort));
    int nError = 0;
    const auto pAlive = m_pAlive;
    if (!pLoop || !ResolveIPv4(pszHostAddress, remote.sin_addr, nError, *pLoop, BlockingDeadline())) {
        Fail(pLoop ? nError : EINVAL);
        return FALSE;
    }
    if (!*pAlive || m_fd < 0) {
        Fail(EBADF);
        return FALSE;
    }
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0)
        return TRUE;
    Fail(errno);
    return FALSE;
}

BOOL CAsyncSocket::Connect(const char* pszHostAddress, UINT nHostPort)
{
    const auto pAlive = m_pAlive;
    if (StartConnect(pszHostAddress, nHostPort))
        return TRUE;
    if (*pAlive && WSAGetLastError() == EINPROGRESS && (m_lEvent & FD_CONNECT)) {
        m_bConnecting = true;
        if (ISocketLoop* pLoop = Loop())
            pLoop->Watch(m_fd, true, this);
    }
    return FALSE;
}

int CAsyncSocket::Send(const void* pBuf, int nBufLen, int nFlags)
{
    if (m_fd < 0)
        return Fail(EBADF);
    if (nBufLen < 0)
        return Fail(EINVAL);
    const ssize_t n = ::send(m_fd, pBuf, static_cast<size_t>(nBufLen), nFlags | MSG_NOSIGNAL);
    return n < 0 ? Fail(errno) : static_cast<int>(n);
}

int CAsyncSocket::Receive(void* pBuf, int nBufLen, int nFlags)
{
    if (m_fd < 0)
        return Fail(EBADF);
    if (nBufLen < 0)
        return Fail(EINVAL);
    const ssize_t n = ::recv(m_fd, pBuf, static_cast<size_t>(nBufLen), nFlags);
    return n < 0 ? Fail(errno) : static_cast<int>(n);
}

void CAsyncSocket::Close()
{
    if (m_fd < 0)
        return;
    if (ISocketLoop* pLoop = Loop())
        pLoop->Unwatch(m_fd);
    ::close(m_fd);
    m_fd = -1;
    m_bConnecting = false;
}

void CAsyncSocket::OnReadable(bool bCheckForClose)
{
    if (m_fd < 0)
        return;
    if (!bCheckForClose) {
        if (m_lEvent & FD_READ)
            OnReceive(0);
        return;
    }
    char c = 0;
    const ssize_t n = ::recv(m_fd, &c, 1, MSG_PEEK);
    if (n > 0) {
        if (m_lEvent & FD_READ)
            OnReceive(0);
        return;
    }
    const int nError = n == 0 ? 0 : errno;
    if (n < 0 && (nError == EAGAIN || nError == EWOULDBLOCK || nError == EINTR))
        return;
    // The end of the stream stays readable; tell it once.
    if (ISocketLoop* pLoop = Loop())
        pLoop->Unwatch(m_fd);
    if (m_lEvent & FD_CLOSE)
        OnClose(nError);
}

void CAsyncSocket::OnWritable()
{
    if (m_fd < 0 || !m_bConnecting)
        return;
    m_bConnecting = false;
    const int nError = SocketError(m_fd);
    WatchForData();
    OnConnect(nError);
}

void CAsyncSocket::WatchForData()
{
    ISocketLoop* pLoop = Loop();
    if (!pLoop || m_fd < 0)
        return;
    if (m_lEvent & (FD_READ | FD_CLOSE))
        pLoop->Watch(m_fd, false, this);
    else
        pLoop->Unwatch(m_fd);
}

void CAsyncSocket::OnReceive(int) {}
void CAsyncSocket::OnSend(int) {}
void CAsyncSocket::OnOutOfBandData(int) {}
void CAsyncSocket::OnAccept(int) {}
void CAsyncSocket::OnConnect(int) {}
void CAsyncSocket::OnClose(int) {}

BOOL CSocket::Connect(const char* pszHostAddress, UINT nHostPort)
{
    if (!BeginBlocking())
        return FALSE;
    const auto pAlive = AliveToken();
    const auto deadline = BlockingDeadline();
    BOOL bConnected = StartConnect(pszHostAddress, nHostPort);
    if (!*pAlive)
        return FALSE;
    if (!bConnected && WSAGetLastError() == EINPROGRESS) {
        const WaitResult result = WaitFor(true, deadline);
        if (result == WaitResult::Gone)
            return FALSE;
        if (result == WaitResult::Ready) {
            const int nError = SocketError(Descriptor());
            bConnected = nError == 0;
            if (!bConnected)
                Fail(nError);
        }
    }
    // A socket that failed to connect reports nothing more.
    EndBlocking(bConnected != FALSE);
    return bConnected;
}

int CSocket::Send(const void* pBuf, int nBufLen, int nFlags)
{
    if (nBufLen < 0)
        return Fail(EINVAL);
    if (!BeginBlocking())
        return SOCKET_ERROR;
    const char* p = static_cast<const char*>(pBuf);
    int nSent = 0;
    while (nSent < nBufLen) {
        const int n = CAsyncSocket::Send(p + nSent, nBufLen - nSent, nFlags);
        if (n >= 0) {
            nSent += n;
            continue;
        }
        const int nError = WSAGetLastError();
        if (nError == EINTR)
            continue;
        if (nError != EAGAIN && nError != EWOULDBLOCK)
            break;
        const WaitResult result = WaitFor(true, BlockingDeadline());
        if (result == WaitResult::Gone)
            return SOCKET_ERROR;
        if (result == WaitResult::Failed)
            break;
    }
    EndBlocking(true);
    return nSent == nBufLen ? nBufLen : SOCKET_ERROR;
}

int CSocket::Receive(void* pBuf, int nBufLen, int nFlags)
{
    if (!BeginBlocking())
        return SOCKET_ERROR;
    int n = CAsyncSocket::Receive(pBuf, nBufLen, nFlags);
    if (n == SOCKET_ERROR && (WSAGetLastError() == EAGAIN || WSAGetLastError() == EWOULDBLOCK)) {
        const WaitResult result = WaitFor(false, BlockingDeadline());
        if (result == WaitResult::Gone)
            return SOCKET_ERROR;
        if (result == WaitResult::Ready)
            n = CAsyncSocket::Receive(pBuf, nBufLen, nFlags);
    }
    EndBlocking(true);
    return n;
}

BOOL CSocket::OnMessagePending() { return TRUE; }

bool CSocket::BeginBlocking()
{
    if (m_bBlocking) {
        Fail(EINPROGRESS);
        return false;
    }
    if (!IsOpen()) {
        Fail(EBADF);
        return false;
    }
    m_bBlocking = true;
    if (ISocketLoop* pLoop = Loop())
        pLoop->Unwatch(Descriptor());
    return true;
}

void CSocket::EndBlocking(bool bWatch)
{
    m_bBlocking = false;
    if (bWatch)
        WatchForData();
}

CSocket::WaitResult CSocket::WaitFor(bool bWrite, std::chrono::steady_clock::time_point deadline)
{
    ISocketLoop* pLoop = Loop();
    if (!pLoop) {
        Fail(EINVAL);
        return WaitResult::Failed;
    }
    const auto pAlive = AliveToken();
    constexpr auto kSlice = std::chrono::milliseconds(100);
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            Fail(ETIMEDOUT);
            return WaitResult::Failed;
        }
        if (!OnMessagePending()) {
            Fail(EINTR);
            return WaitResult::Failed;
        }
        const int fd = Descriptor();
        const bool bReady = pLoop->WaitForSocket(fd, bWrite, std::min(deadline, now + kSlice));
        if (!*pAlive) {
            Fail(EBADF);
            return WaitResult::Gone;
        }
        if (!IsOpen()) {
            Fail(EBADF);
            return WaitResult::Failed;
        }
        if (bReady)
            return WaitResult::Ready;
    }
}
