#include "tools/testing/FakeNetwork.h"

#include <algorithm>
#include <deque>

namespace mimicbox::testing {

// Every report to the handler goes through the queue and a timer, so that it comes from the loop,
// never from inside a call the handler made.
class FakeNetwork::FakeConnection : public sim::Connection {
public:
    FakeConnection(FakeNetwork& network, std::size_t index, sim::ConnectionHandler& handler)
        : network_(network), index_(index), handler_(handler), timer_(network.scheduler_.CreateTimer([this] { Deliver(); }))
    {
    }
    ~FakeConnection() override { Detach(); }

    void Open() override
    {
        network_.attempts_.push_back(network_.scheduler_.Now());
        Post(network_.up_ ? Step{Step::kConnected, {}} : Step{Step::kConnectFailed, "cannot connect: Connection refused"},
             kConnectDelay);
    }
    void Write(std::string_view bytes) override
    {
        if (!connected_)
            return;
        PeerState& peer = network_.PeerOf(index_);
        peer.received.append(bytes);
        if (peer.reading)
            return;
        peer.unread += bytes.size();
        if (peer.unread > kMaxUnread)
            Lose("connection lost: the server does not read");
    }
    void Close() override { End("close"); }
    void Reset() override { End("reset"); }
    void StopReading() override { network_.PeerOf(index_).deviceReading = false; }

    void FromServer(const std::string& bytes)
    {
        PeerState& peer = network_.PeerOf(index_);
        if (!peer.deviceReading) {
            peer.unreadByDevice += bytes.size();
            return;
        }
        // Split at random points into reads of at most 4095 bytes.
        for (std::size_t start = 0; start < bytes.size();) {
            const std::size_t room = std::min<std::size_t>(bytes.size() - start, 4095);
            const std::size_t size = 1 + static_cast<std::size_t>(network_.random_.Next() % room);
            Post(Step{Step::kChunk, bytes.substr(start, size)}, sim::Nanos(0));
            start += size;
        }
    }
    void Lose(std::string reason)
    {
        Post(Step{Step::kLost, std::move(reason)}, sim::Nanos(0));
        Detach();
    }

private:
    struct Step {
        enum Kind { kConnected, kConnectFailed, kChunk, kLost } kind;
        std::string text;
        sim::Instant at{};
    };

    void Post(Step step, sim::Nanos delay)
    {
        step.at = network_.scheduler_.Now() + delay;
        steps_.push_back(std::move(step));
        if (steps_.size() == 1)
            timer_->Start(steps_.front().at);
    }
    void Deliver()
    {
        Step step = std::move(steps_.front());
        steps_.pop_front();
        if (!steps_.empty())
            timer_->Start(steps_.front().at);
        switch (step.kind) {
        case Step::kConnected:
            if (!network_.up_) {
                handler_.OnConnectFailed("cannot connect: Connection refused");
                return;
            }
            connected_ = true;
            Attach();
            handler_.OnConnected();
            break;
        case Step::kConnectFailed: handler_.OnConnectFailed(step.text); break;
        case Step::kChunk: handler_.OnChunk(step.text); break;
        case Step::kLost: handler_.OnLost(step.text); break;
        }
    }
    void Attach()
    {
        PeerState& peer = network_.PeerOf(index_);
        peer.open = this;
        peer.unread = 0;
        peer.unreadByDevice = 0;
        peer.deviceReading = true;
        peer.closedBy.clear();
        ++peer.connects;
    }
    void Detach()
    {
        connected_ = false;
        PeerState& peer = network_.PeerOf(index_);
        if (peer.open == this)
            peer.open = nullptr;
    }
    void End(const char* how)
    {
        if (connected_)
            network_.PeerOf(index_).closedBy = how;
        steps_.clear();
        timer_->Cancel();
        Detach();
    }

    FakeNetwork& network_;
    std::size_t index_;
    sim::ConnectionHandler& handler_;
    std::unique_ptr<sim::Timer> timer_;
    std::deque<Step> steps_;
    bool connected_ = false;
};

FakeNetwork::FakeNetwork(sim::Scheduler& scheduler, uint64_t seed) : scheduler_(scheduler), random_(seed) {}

FakeNetwork::~FakeNetwork() = default;

void FakeNetwork::SetServerUp(bool up)
{
    up_ = up;
    if (up)
        return;
    for (auto& [index, peer] : peers_)
        if (peer.open)
            peer.open->Lose("connection closed by the server");
}

void FakeNetwork::ServerWrite(std::size_t index, const std::string& bytes)
{
    if (FakeConnection* connection = PeerOf(index).open)
        connection->FromServer(bytes);
}

void FakeNetwork::ServerClose(std::size_t index, bool reset)
{
    if (FakeConnection* connection = PeerOf(index).open)
        connection->Lose(reset ? "connection lost: Connection reset by peer" : "connection closed by the server");
}

void FakeNetwork::SetServerReading(std::size_t index, bool reading)
{
    PeerState& peer = PeerOf(index);
    peer.reading = reading;
    if (reading)
        peer.unread = 0;
}

std::unique_ptr<sim::Connection> FakeNetwork::Create(std::size_t index, sim::ConnectionHandler& handler)
{
    return std::make_unique<FakeConnection>(*this, index, handler);
}

}  // namespace mimicbox::testing
