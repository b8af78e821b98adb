// The io_uring sender on real sockets: a cancel reaches the receive it names and no other, and a
// receive ends with the bytes that came.
#include "tools/io/UringSender.h"

#include <gtest/gtest.h>

#include <array>
#include <sys/socket.h>
#include <unistd.h>

using namespace mimicbox;
using namespace std::chrono_literals;

namespace {

// One end of a socket pair, receiving through the ring.
class PairInbox : public io::Inbox {
public:
    PairInbox() { ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends_.data()); }
    ~PairInbox() override
    {
        ::close(ends_[0]);
        ::close(ends_[1]);
    }
    int ReceiveDescriptor() override { return ends_[0]; }
    std::span<char> ReceiveBuffer() override { return buffer_; }
    void OnReceiveDone(int value) override { result = value; }
    void PeerSends(const std::string& bytes) { (void)::send(ends_[1], bytes.data(), bytes.size(), 0); }
    std::string Received() const { return std::string(buffer_.data(), static_cast<std::size_t>(std::max(result.value_or(0), 0))); }

    std::optional<int> result;

private:
    std::array<int, 2> ends_{-1, -1};
    std::array<char, 64> buffer_{};
};

}  // namespace

TEST(UringSenderTest, ACancelReachesTheReceiveItNamesAndNoOther)
{
    asio::io_context context;
    std::string error;
    const auto sender = io::UringSender::Create(context, error, true);
    if (!sender)
        GTEST_SKIP() << "no io_uring here: " << error;
    auto cancelled = std::make_shared<PairInbox>();
    auto kept = std::make_shared<PairInbox>();
    sender->Receive(cancelled);
    sender->Receive(kept);
    context.run_for(20ms);
    EXPECT_FALSE(cancelled->result || kept->result) << "nothing has arrived";

    sender->Cancel(*cancelled);
    context.run_for(50ms);
    ASSERT_TRUE(cancelled->result);
    EXPECT_EQ(*cancelled->result, -ECANCELED);
    EXPECT_FALSE(kept->result) << "the other receive still waits";

    kept->PeerSends("toggle");
    for (int i = 0; i < 100 && !kept->result; ++i)
        context.run_for(10ms);
    ASSERT_TRUE(kept->result);
    EXPECT_EQ(kept->Received(), "toggle");
}
