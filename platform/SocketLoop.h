// How sockets hear from the message loop: the window system watches their descriptors and calls them
// back when they can be read, and runs its loop while a blocking socket call waits.
// An interface so that tests can drive real sockets from a loop of their own.
#pragma once

#include <chrono>

class CAsyncSocket;

class ISocketLoop {
public:
    using Deadline = std::chrono::steady_clock::time_point;

    virtual ~ISocketLoop() = default;

    // From now on, when fd can be read (data, end of stream or an error), or with bWrite when it can
    // be written, the loop calls pSocket->OnReadable() or OnWritable() from the message loop.
    // Watching the same fd again replaces the earlier watch.
    virtual void Watch(int fd, bool bWrite, CAsyncSocket* pSocket) = 0;
    // Stops the calls for fd; safe inside a callback for that fd.
    virtual void Unwatch(int fd) = 0;

    // Runs the message loop, without user input, until fd is writable (bWrite) or readable, or until
    // the deadline. Returns true when the fd is ready. Other windows' and sockets' messages are handled
    // meanwhile, so the caller must expect to be re-entered.
    virtual bool WaitForSocket(int fd, bool bWrite, Deadline deadline) = 0;
};
