// Fake connections for tests, with the server's side in the test's hands: connects take a moment and
// are refused while the server is down, what the server writes arrives in chunks split at random
// points (as TCP may split it), and a server that stops reading makes writes back up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tools/sim/Connection.h"
#include "tools/sim/Random.h"
#include "tools/sim/Scheduler.h"

namespace mimicbox::testing {

class FakeNetwork : public sim::ConnectionFactory {
public:
    // Connects and deliveries run on `scheduler`, which must outlive the network.
    FakeNetwork(sim::Scheduler& scheduler, uint64_t seed = 1);
    ~FakeNetwork() override;

    // While down, connects are refused; going down closes every connection from the server's side.
    void SetServerUp(bool up);
    // Sends bytes from the server to device `index`, if it is connected.
    void ServerWrite(std::size_t index, const std::string& bytes);
    // Closes device `index`'s connection from the server's side, in an orderly way or with a reset.
    void ServerClose(std::size_t index, bool reset = false);
    // The server stops (or resumes) reading device `index`'s connection.
    void SetServerReading(std::size_t index, bool reading);

    // What device `index` has sent over all its connections, and how often it connected.
    const std::string& Received(std::size_t index) { return PeerOf(index).received; }
    int Connects(std::size_t index) { return PeerOf(index).connects; }
    bool IsConnected(std::size_t index) { return PeerOf(index).open != nullptr; }
    // How the device's last connection ended on its side: "", "close" or "reset".
    const std::string& ClosedBy(std::size_t index) { return PeerOf(index).closedBy; }
    // What the server wrote that device `index` has left unread since it stopped reading.
    std::size_t UnreadByDevice(std::size_t index) { return PeerOf(index).unreadByDevice; }
    // Connect attempts over all devices, with the time each was made.
    const std::vector<sim::Instant>& ConnectAttempts() const { return attempts_; }

    std::unique_ptr<sim::Connection> Create(std::size_t index, sim::ConnectionHandler& handler) override;

    static constexpr sim::Nanos kConnectDelay = std::chrono::microseconds(200);
    // What may wait unread before a connection gives up, as the real one does.
    static constexpr std::size_t kMaxUnread = 16384;

private:
    class FakeConnection;
    friend class FakeConnection;
    struct PeerState {
        FakeConnection* open = nullptr;
        std::string received;
        std::size_t unread = 0;
        bool reading = true;
        bool deviceReading = true;
        std::size_t unreadByDevice = 0;
        int connects = 0;
        std::string closedBy;
    };
    PeerState& PeerOf(std::size_t index) { return peers_[index]; }

    sim::Scheduler& scheduler_;
    sim::Random random_;
    bool up_ = true;
    std::map<std::size_t, PeerState> peers_;
    std::vector<sim::Instant> attempts_;
};

}  // namespace mimicbox::testing
