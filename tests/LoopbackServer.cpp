#include "tests/LoopbackServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace {

bool WaitReadable(int fd, std::chrono::milliseconds timeout)
{
    pollfd one{fd, POLLIN, 0};
    return ::poll(&one, 1, static_cast<int>(timeout.count())) > 0;
}

}  // namespace

LoopbackServer::LoopbackServer()
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_listener, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::listen(m_listener, 8);
    socklen_t nLen = sizeof address;
    ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &nLen);
    m_nPort = ntohs(address.sin_port);
}

LoopbackServer::~LoopbackServer()
{
    CloseClient();
    StopListening();
}

bool LoopbackServer::Accept(std::chrono::milliseconds timeout)
{
    if (m_listener < 0 || !WaitReadable(m_listener, timeout))
        return false;
    CloseClient();
    m_client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
    return m_client >= 0;
}

std::string LoopbackServer::Read(std::size_t nMin, std::chrono::milliseconds timeout)
{
    std::string bytes;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (m_client >= 0 && bytes.size() < nMin) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() < 0 || !WaitReadable(m_client, left))
            break;
        char buffer[65536];
        const ssize_t n = ::recv(m_client, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n <= 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return bytes;
}

bool LoopbackServer::Write(const std::string& bytes)
{
    std::size_t nSent = 0;
    while (m_client >= 0 && nSent < bytes.size()) {
        const ssize_t n = ::send(m_client, bytes.data() + nSent, bytes.size() - nSent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        nSent += static_cast<std::size_t>(n);
    }
    return m_client >= 0;
}

void LoopbackServer::CloseClient(bool bReset)
{
    if (m_client < 0)
        return;
    if (bReset) {
        const linger reset{1, 0};
        ::setsockopt(m_client, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    }
    ::close(m_client);
    m_client = -1;
}

void LoopbackServer::StopListening()
{
    if (m_listener < 0)
        return;
    ::close(m_listener);
    m_listener = -1;
}

bool LoopbackServer::ClientClosed(std::chrono::milliseconds timeout)
{
    if (m_client < 0 || !WaitReadable(m_client, timeout))
        return false;
    char c = 0;
    return ::recv(m_client, &c, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
}
