#include "platform/fake/FakeSocketLoop.h"

#include <poll.h>

#include <vector>

#include "platform/Socket.h"

int FakeSocketLoop::RunOnce(std::chrono::milliseconds timeout)
{
    std::vector<pollfd> fds;
    for (const auto& [fd, entry] : m_watches)
        fds.push_back(pollfd{fd, static_cast<short>(entry.bWrite ? POLLOUT : POLLIN), 0});
    if (fds.empty())
        return 0;
    if (::poll(fds.data(), fds.size(), static_cast<int>(timeout.count())) <= 0)
        return 0;
    int nCalls = 0;
    for (const pollfd& ready : fds) {
        if (ready.revents == 0)
            continue;
        // An earlier call may have closed this socket.
        auto it = m_watches.find(ready.fd);
        if (it == m_watches.end())
            continue;
        ++nCalls;
        if (it->second.bWrite)
            it->second.pSocket->OnWritable();
        else
            it->second.pSocket->OnReadable(bPeekForClose);
    }
    return nCalls;
}

void FakeSocketLoop::Watch(int fd, bool bWrite, CAsyncSocket* pSocket) { m_watches[fd] = Entry{bWrite, pSocket}; }

void FakeSocketLoop::Unwatch(int fd) { m_watches.erase(fd); }

bool FakeSocketLoop::WaitForSocket(int fd, bool bWrite, Deadline deadline)
{
    const auto remaining =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (remaining.count() <= 0)
        return false;
    pollfd one{fd, static_cast<short>(bWrite ? POLLOUT : POLLIN), 0};
    return ::poll(&one, 1, static_cast<int>(remaining.count())) > 0;
}
