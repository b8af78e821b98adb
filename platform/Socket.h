// Sockets over the operating system's TCP: CAsyncSocket reports readiness through its notification
// handlers; CSocket adds blocking connect, send and receive that keep the message loop running while
// they wait. All calls run on the GUI thread. Failures return FALSE or SOCKET_ERROR; the reason is
// WSAGetLastError(), an errno value.
#pragma once

#include <chrono>
#include <memory>

#include "platform/Types.h"

constexpr int SOCKET_ERROR = -1;
constexpr int SOCK_STREAM_TYPE = 1;

// Notification mask bits for Create.
constexpr long FD_READ = 0x01;
constexpr long FD_WRITE = 0x02;
constexpr long FD_OOB = 0x04;
constexpr long FD_ACCEPT = 0x08;
constexpr long FD_CONNECT = 0x10;
constexpr long FD_CLOSE = 0x20;

// Sets up socket support for the process (a send to a vanished peer must not end it). Idempotent.
BOOL AfxSocketInit();

// The error number of the socket call that failed last on this thread.
int WSAGetLastError();

class CAsyncSocket {
public:
    CAsyncSocket();
    virtual ~CAsyncSocket();
    CAsyncSocket(const CAsyncSocket&) = delete;
    CAsyncSocket& operator=(const CAsyncSocket&) = delete;

    // Creates a non-blocking TCP socket (IPv4) that reports the events of lEvent; bound to nSocketPort
    // and pszSocketAddress when given. FALSE on failure.
    BOOL Create(UINT nSocketPort = 0, int nSocketType = SOCK_STREAM_TYPE,
                long lEvent = FD_READ | FD_WRITE | FD_OOB | FD_ACCEPT | FD_CONNECT | FD_CLOSE,
                const char* pszSocketAddress = nullptr);

    // Starts connecting to a host name or dotted IPv4 address. FALSE with EINPROGRESS while the
    // connection is being made (OnConnect tells the outcome), FALSE with another error on failure.
    // A port outside 1..65535 fails with EINVAL.
    virtual BOOL Connect(const char* pszHostAddress, UINT nHostPort);

    // One send or receive, without waiting: the count moved, 0 from Receive at the end of the stream,
    // SOCKET_ERROR otherwise (EAGAIN when it would have to wait).
    virtual int Send(const void* pBuf, int nBufLen, int nFlags = 0);
    virtual int Receive(void* pBuf, int nBufLen, int nFlags = 0);

    // Releases the descriptor; the object stays valid, and every later call fails with EBADF.
    virtual void Close();

    bool IsOpen() const { return m_fd >= 0; }

    // Called by the socket loop. Readable: OnReceive for data, OnClose for the end of the stream or a
    // reset; without bCheckForClose always OnReceive, which then reads what there is (perhaps 0 bytes).
    // Writable (only while connecting): OnConnect with the outcome. The handler may destroy the
    // object, so the loop touches nothing of it afterwards.
    void OnReadable(bool bCheckForClose = true);
    void OnWritable();

protected:
    virtual void OnReceive(int nErrorCode);
    virtual void OnSend(int nErrorCode);
    virtual void OnOutOfBandData(int nErrorCode);
    virtual void OnAccept(int nErrorCode);
    virtual void OnConnect(int nErrorCode);
    virtual void OnClose(int nErrorCode);

    // Starts a non-blocking connect: TRUE when connected at once, else FALSE with the error
    // (EINPROGRESS while under way). Host names are resolved with the message loop running.
    BOOL StartConnect(const char* pszHostAddress, UINT nHostPort);
    // Watches for data and close again after a connect or a blocking call.
    void WatchForData();
    int Descriptor() const { return m_fd; }
    // Turns false when the object is destroyed, for callers that wait in the loop.
    std::shared_ptr<const bool> AliveToken() const { return m_pAlive; }

private:
    int m_fd = -1;
    long m_lEvent = 0;
    bool m_bConnecting = false;
    std::shared_ptr<bool> m_pAlive = std::make_shared<bool>(true);
};

class CSocket : public CAsyncSocket {
public:
    // How long a connect, or a send or receive without progress, may wait before it fails (ETIMEDOUT).
    static constexpr int BLOCKING_TIMEOUT_MS = 20000;

    // Connects and returns once the connection is made (TRUE) or has failed (FALSE). The outcome is
    // not notified through OnConnect.
    BOOL Connect(const char* pszHostAddress, UINT nHostPort) override;
    // Sends every byte before returning nBufLen, or SOCKET_ERROR. Fails with EINPROGRESS while
    // another blocking call of this socket waits.
    int Send(const void* pBuf, int nBufLen, int nFlags = 0) override;
    // Waits until something can be read, then reads once.
    int Receive(void* pBuf, int nBufLen, int nFlags = 0) override;

protected:
    // Called about ten times a second while a blocking call waits; FALSE ends the wait (EINTR).
    virtual BOOL OnMessagePending();

private:
    enum class WaitResult { Ready, Failed, Gone };
    // Waits in the loop until the descriptor is ready or the deadline passes (ETIMEDOUT). On Gone the
    // object was destroyed meanwhile and nothing of it may be touched.
    WaitResult WaitFor(bool bWrite, std::chrono::steady_clock::time_point deadline);
    // Takes the socket out of the loop's notifications for the length of a blocking call.
    bool BeginBlocking();
    void EndBlocking(bool bWatch);

    bool m_bBlocking = false;
};
