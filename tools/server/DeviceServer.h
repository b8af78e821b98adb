// The reference device server: it listens, accepts any number of devices, decodes what they send
// and sends them switch toggles on request.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>

#include "tools/EventLoop.h"
#include "tools/server/ServerOptions.h"

namespace mimicbox {

class DeviceServer {
public:
    // Prints on `out` and `err`, which are not owned.
    DeviceServer(const ServerOptions& options, EventLoop& loop, std::FILE* out, std::FILE* err);
    ~DeviceServer();

    // Starts listening; false with a message when the address cannot be bound.
    bool Listen(std::string& strError);
    // Takes typed commands from fd (the terminal) until it ends.
    void ReadCommandsFrom(int fd);
    // One typed command: "t SERIAL", "t", "l", "q".
    void OnCommand(std::string_view line);
    // Sends a toggle to every device with the serial, or to every Relay-Box when nSerial is 0.
    // Returns the number of devices it went to.
    int Toggle(int32_t nSerial);
    // Closes every connection and the listener; the loop ends.
    void Stop();

private:
    struct Client {
        std::string strPeer;
        std::string strPending;
        int32_t nDeviceType = 0;
        int32_t nSerial = 0;
    };

    void OnAccept();
    void OnClientReadable(int fd);
    void OnRecord(Client& client, std::string_view record);
    void CloseClient(int fd, const char* pszWhy);
    void ScheduleToggle(long nTick);

    ServerOptions m_options;
    EventLoop& m_loop;
    std::FILE* m_out;
    std::FILE* m_err;
    int m_listener = -1;
    int m_commandFd = -1;
    std::string m_strCommand;
    std::map<int, Client> m_clients;
    EventLoop::Clock::time_point m_start;
};

}  // namespace mimicbox
