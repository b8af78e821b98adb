#include "tools/io/UringSender.h"

#include <asio/post.hpp>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <liburing.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace mimicbox::io {

namespace {

// A turn rarely has more sends than this; more go out in several submissions of the same turn.
constexpr unsigned kSubmissionEntries = 1024;
// Room for a completion of every connection a process can hold, each with one send in flight.
constexpr unsigned kCompletionEntries = 32768;
// Submissions in a row before the loop's other handlers get a turn.
constexpr int kRoundsPerFlush = 4;
// Completions with this tag answer a cancellation and carry nothing to hand on.
constexpr uint64_t kCancelTag = 0;

uint64_t TagOf(const Outbox& outbox) { return reinterpret_cast<uintptr_t>(&outbox); }
// A receive's tag has its low bit set: objects are aligned, so no send's tag has.
uint64_t TagOf(const Inbox& inbox) { return reinterpret_cast<uintptr_t>(&inbox) | 1u; }
bool IsReceive(uint64_t tag) { return (tag & 1u) != 0; }

}  // namespace

std::shared_ptr<UringSender> UringSender::Create(asio::io_context& context, std::string& error, bool receives)
{
    auto ring = std::make_unique<io_uring>();
    io_uring_params params{};
    params.flags = IORING_SETUP_CQSIZE;
    params.cq_entries = kCompletionEntries;
    const int result = io_uring_queue_init_params(kSubmissionEntries, ring.get(), &params);
    if (result < 0) {
        error = std::strerror(-result);
        return nullptr;
    }
    // Without this a full completion queue would drop sends' results, and with them their bytes.
    if ((params.features & IORING_FEAT_NODROP) == 0) {
        io_uring_queue_exit(ring.get());
        error = "the kernel's io_uring is too old";
        return nullptr;
    }
    const int wakeup = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    // Only completions that did not happen inside the submission wake the loop: the others are
    // taken right after it. A receive completes when bytes arrive, which only the plain registration
    // tells of.
    const int registered = wakeup < 0 ? -errno
                           : receives ? io_uring_register_eventfd(ring.get(), wakeup)
                                      : io_uring_register_eventfd_async(ring.get(), wakeup);
    if (registered < 0) {
        error = std::strerror(-registered);
        if (wakeup >= 0)
            ::close(wakeup);
        io_uring_queue_exit(ring.get());
        return nullptr;
    }
    auto sender = std::shared_ptr<UringSender>(new UringSender(context, std::move(ring), wakeup, receives));
    sender->WaitForCompletions();
    return sender;
}

UringSender::UringSender(asio::io_context& context, std::unique_ptr<io_uring> ring, int wakeup, bool everyCompletionWakes)
    : context_(context), ring_(std::move(ring)), wakeup_(context, wakeup), everyCompletionWakes_(everyCompletionWakes)
{
}

UringSender::~UringSender()
{
    // The kernel may still read a buffer of a send in flight: stop them all and wait, briefly, for
    // their ends before the buffers can go.
    std::vector<uint64_t> tags;
    for (const auto& [outbox, held] : inFlight_)
        tags.push_back(TagOf(*outbox));
    for (const auto& [inbox, held] : receiving_)
        tags.push_back(TagOf(*inbox));
    for (const uint64_t tag : tags) {
        if (io_uring_sqe* sqe = NextEntry()) {
            io_uring_prep_cancel64(sqe, tag, 0);
            io_uring_sqe_set_data64(sqe, kCancelTag);
        }
    }
    io_uring_submit(ring_.get());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while ((!inFlight_.empty() || !receiving_.empty()) && std::chrono::steady_clock::now() < deadline) {
        __kernel_timespec wait{0, 10'000'000};
        io_uring_cqe* cqe = nullptr;
        if (io_uring_wait_cqe_timeout(ring_.get(), &cqe, &wait) == 0 && cqe) {
            const uintptr_t tag = static_cast<uintptr_t>(cqe->user_data);
            if (IsReceive(tag))
                receiving_.erase(reinterpret_cast<const Inbox*>(tag & ~uintptr_t{1}));
            else
                inFlight_.erase(reinterpret_cast<const Outbox*>(tag));
            io_uring_cqe_seen(ring_.get(), cqe);
        }
    }
    io_uring_queue_exit(ring_.get());
}

void UringSender::Queue(std::shared_ptr<Outbox> outbox)
{
    queued_.push_back(std::move(outbox));
    PostFlush();
}

void UringSender::Receive(std::shared_ptr<Inbox> inbox)
{
    receivesQueued_.push_back(std::move(inbox));
    PostFlush();
}

void UringSender::Cancel(const Inbox& inbox)
{
    if (!receiving_.count(&inbox))
        return;
    if (io_uring_sqe* sqe = NextEntry()) {
        io_uring_prep_cancel64(sqe, TagOf(inbox), 0);
        io_uring_sqe_set_data64(sqe, kCancelTag);
        Submit();
    }
}

io_uring_sqe* UringSender::NextEntry()
{
    io_uring_sqe* sqe = io_uring_get_sqe(ring_.get());
    if (!sqe) {
        Submit();
        sqe = io_uring_get_sqe(ring_.get());
    }
    return sqe;
}

void UringSender::PostFlush()
{
    if (flushPosted_ || held_ || flushing_)
        return;
    flushPosted_ = true;
    // Posted handlers run after those already ready, so every report of this wake-up is queued by then.
    asio::post(context_, [weak = weak_from_this()] {
        if (const auto self = weak.lock())
            self->Flush();
    });
}

void UringSender::AfterTimers()
{
    held_ = false;
    if (!queued_.empty())
        Flush();
}

bool UringSender::HasQueued() const { return !queued_.empty() || !receivesQueued_.empty(); }

void UringSender::Flush()
{
    flushPosted_ = false;
    // What completes within a submission mostly asks for more at once: a send done re-arms its
    // receive, a receive forwards its bytes. That goes out in another round right away rather than
    // in another turn of the loop, which would cost a wait for events first; a few rounds, then the
    // loop's other handlers get their turn.
    for (int round = 0; round < kRoundsPerFlush && HasQueued(); ++round) {
        PrepareSends();
        PrepareReceives();
        flushing_ = true;
        Submit();
        flushing_ = false;
    }
    if (HasQueued())
        PostFlush();
}

void UringSender::PrepareSends()
{
    std::vector<std::shared_ptr<Outbox>> batch;
    batch.swap(queued_);
    for (std::shared_ptr<Outbox>& outbox : batch) {
        const std::string_view bytes = outbox->NextSend();
        if (bytes.empty())
            continue;
        io_uring_sqe* sqe = NextEntry();
        if (!sqe) {
            // The ring will not take more now: this one goes in the next round's submission.
            queued_.push_back(std::move(outbox));
            continue;
        }
        // A send may wait in the ring for room only where its completion wakes the loop. Where only
        // completions outside a submission do, a socket without room answers -EAGAIN at once and its
        // outbox waits for room on the loop: a send finished later by the ring would go unheard, and
        // the rest of a short send wait for whatever woke the loop next.
        const int flags = MSG_NOSIGNAL | (everyCompletionWakes_ ? 0 : MSG_DONTWAIT);
        io_uring_prep_send(sqe, outbox->Descriptor(), bytes.data(), bytes.size(), flags);
        io_uring_sqe_set_data64(sqe, TagOf(*outbox));
        inFlight_.emplace(outbox.get(), std::move(outbox));
    }
}

void UringSender::PrepareReceives()
{
    std::vector<std::shared_ptr<Inbox>> batch;
    batch.swap(receivesQueued_);
    for (std::shared_ptr<Inbox>& inbox : batch) {
        io_uring_sqe* sqe = NextEntry();
        if (!sqe) {
            receivesQueued_.push_back(std::move(inbox));
            continue;
        }
        const std::span<char> buffer = inbox->ReceiveBuffer();
        io_uring_prep_recv(sqe, inbox->ReceiveDescriptor(), buffer.data(), buffer.size(), 0);
        // The socket is non-blocking for Asio: wait for bytes in the ring rather than fail at once.
        sqe->ioprio |= IORING_RECVSEND_POLL_FIRST;
        io_uring_sqe_set_data64(sqe, TagOf(*inbox));
        receiving_.emplace(inbox.get(), std::move(inbox));
    }
}

void UringSender::Submit()
{
    // A full completion queue refuses more until it has been read; what it refuses stays in the
    // submission queue for the next try.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int result = io_uring_submit(ring_.get());
        if (result >= 0 || (result != -EINTR && result != -EAGAIN && result != -EBUSY))
            break;
        Reap();
    }
    Reap();
}

void UringSender::Reap()
{
    std::vector<std::pair<std::shared_ptr<Outbox>, int>> done;
    std::vector<std::pair<std::shared_ptr<Inbox>, int>> received;
    unsigned head = 0;
    unsigned seen = 0;
    io_uring_cqe* cqe = nullptr;
    io_uring_for_each_cqe(ring_.get(), head, cqe)
    {
        ++seen;
        const uintptr_t tag = static_cast<uintptr_t>(cqe->user_data);
        if (tag == kCancelTag)
            continue;
        if (IsReceive(tag)) {
            const auto found = receiving_.find(reinterpret_cast<const Inbox*>(tag & ~uintptr_t{1}));
            if (found != receiving_.end()) {
                received.emplace_back(std::move(found->second), cqe->res);
                receiving_.erase(found);
            }
            continue;
        }
        const auto found = inFlight_.find(reinterpret_cast<const Outbox*>(tag));
        if (found == inFlight_.end())
            continue;
        done.emplace_back(std::move(found->second), cqe->res);
        inFlight_.erase(found);
    }
    io_uring_cq_advance(ring_.get(), seen);
    // Handed on after the queue has been advanced: a handler may queue its next send at once.
    for (auto& [outbox, result] : done)
        outbox->OnSendDone(result);
    for (auto& [inbox, result] : received)
        inbox->OnReceiveDone(result);
}

void UringSender::WaitForCompletions()
{
    // Read rather than waited for: Asio reads at once when the signal comes, and a read shorter than
    // the buffer tells it that the next one need not be tried before the next signal, so no wake-up
    // costs a re-registration with epoll, as a wait for readiness does every time.
    wakeup_.async_read_some(asio::buffer(signal_), [weak = weak_from_this()](const std::error_code& error, std::size_t) {
        const auto self = weak.lock();
        if (error || !self)
            return;
        self->flushing_ = true;
        self->Reap();
        self->flushing_ = false;
        self->Flush();
        self->WaitForCompletions();
    });
}

}  // namespace mimicbox::io
