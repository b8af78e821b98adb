// A device server on 127.0.0.1 for tests: it listens on a free port, accepts one client at a time
// and reads or writes raw bytes, with time-outs so that a failing test cannot hang.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

class LoopbackServer {
public:
    LoopbackServer();
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    unsigned Port() const { return m_nPort; }

    // Accepts the next client; false when none comes in time.
    bool Accept(std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));
    bool HasClient() const { return m_client >= 0; }

    // Everything the client has sent so far, waiting up to `timeout` for at least nMin bytes.
    std::string Read(std::size_t nMin = 1, std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));
    // What the client has sent since the last read, without waiting.
    std::string ReadAvailable() { return Read(SIZE_MAX, std::chrono::milliseconds(0)); }
    bool Write(const std::string& bytes);
    // Closes the connection to the client in an orderly way, or with a reset.
    void CloseClient(bool bReset = false);
    // Stops listening, so that connects to the port are refused.
    void StopListening();
    // True once the client has closed its side (a read gives end of stream).
    bool ClientClosed(std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));

private:
    int m_listener = -1;
    int m_client = -1;
    unsigned m_nPort = 0;
};
