// Socket readiness from the Qt event loop, through socket notifiers.
#pragma once

#include <QObject>
#include <map>
#include <memory>

#include "platform/SocketLoop.h"

class QSocketNotifier;

class QtSocketLoop : public ISocketLoop {
public:
    QtSocketLoop();
    ~QtSocketLoop() override;

    void Watch(int fd, bool bWrite, CAsyncSocket* pSocket) override;
    void Unwatch(int fd) override;
    bool WaitForSocket(int fd, bool bWrite, Deadline deadline) override;

private:
    struct Entry {
        QSocketNotifier* pNotifier = nullptr;
        CAsyncSocket* pSocket = nullptr;
        bool bWrite = false;
    };
    void OnActivated(int fd);

    std::map<int, Entry> m_watches;
};
