// Real sockets driven by the test: the test runs the loop for a while, and every watched descriptor
// that is ready gets its call, as the window system's loop would make it.
#pragma once

#include <chrono>
#include <map>

#include "platform/SocketLoop.h"

class FakeSocketLoop : public ISocketLoop {
public:
    // Waits up to `timeout` for any watched descriptor and delivers every one that is ready, once.
    // Returns the number of calls made.
    int RunOnce(std::chrono::milliseconds timeout);
    // Runs until `done` holds or the time-out passes; true when done held.
    template <typename Predicate>
    bool RunUntil(Predicate done, std::chrono::milliseconds timeout = std::chrono::milliseconds(5000))
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            RunOnce(std::chrono::milliseconds(10));
        }
        return true;
    }

    // When false, readable descriptors go to the data handler without a look for the end of the stream
    // first, so that a test sees a read of 0 bytes before the close notification.
    bool bPeekForClose = true;

    bool IsWatched(int fd) const { return m_watches.count(fd) != 0; }

    void Watch(int fd, bool bWrite, CAsyncSocket* pSocket) override;
    void Unwatch(int fd) override;
    bool WaitForSocket(int fd, bool bWrite, Deadline deadline) override;

private:
    struct Entry {
        bool bWrite;
        CAsyncSocket* pSocket;
    };
    std::map<int, Entry> m_watches;
};
