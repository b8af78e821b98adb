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
// Completions with this tag answer a cancellation and carry nothing to hand on.
constexpr uint64_t kCancelTag = 0;

uint64_t TagOf(const Outbox& outbox) { return reinterpret_cast<uintptr_t>(&outbox); }

}  // namespace

std::shared_ptr<UringSender> UringSender::Create(asio::io_context& context, std::string& error)
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
    // taken right after it.
    const int registered = wakeup < 0 ? -errno : io_uring_register_eventfd_async(ring.get(), wakeup);
    if (registered < 0) {
        error = std::strerror(-registered);
        if (wakeup >= 0)
            ::close(wakeup);
        io_uring_queue_exit(ring.get());
        return nullptr;
    }
    auto sender = std::shared_ptr<UringSender>(new UringSender(context, std::move(ring), wakeup));
    sender->WaitForCompletions();
    return sender;
}

UringSender::UringSender(asio::io_context& context, std::unique_ptr<io_uring> ring, int wakeup)
    : context_(context), ring_(std::move(ring)), wakeup_(context, wakeup)
{
}

UringSender::~UringSender()
{
    // The kernel may still read a buffer of a send in flight: stop them all and wait, briefly, for
    // their ends before the buffers can go.
    for (const auto& [outbox, held] : inFlight_) {
        io_uring_sqe* sqe = io_uring_get_sqe(ring_.get());
        if (!sqe) {
            io_uring_submit(ring_.get());
            sqe = io_uring_get_sqe(ring_.get());
        }
        if (sqe) {
            io_uring_prep_cancel64(sqe, TagOf(*outbox), 0);
            io_uring_sqe_set_data64(sqe, kCancelTag);
        }
    }
    io_uring_submit(ring_.get());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (!inFlight_.empty() && std::chrono::steady_clock::now() < deadline) {
        __kernel_timespec wait{0, 10'000'000};
        io_uring_cqe* cqe = nullptr;
        if (io_uring_wait_cqe_timeout(ring_.get(), &cqe, &wait) == 0 && cqe) {
            inFlight_.erase(reinterpret_cast<const Outbox*>(static_cast<uintptr_t>(cqe->user_data)));
            io_uring_cqe_seen(ring_.get(), cqe);
        }
    }
    io_uring_queue_exit(ring_.get());
}

void UringSender::Queue(std::shared_ptr<Outbox> outbox)
{
    queued_.push_back(std::move(outbox));
    if (flushPosted_ || held_)
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

void UringSender::Flush()
{
    flushPosted_ = false;
    std::vector<std::shared_ptr<Outbox>> batch;
    batch.swap(queued_);
    for (std::shared_ptr<Outbox>& outbox : batch) {
        const std::string_view bytes = outbox->NextSend();
        if (bytes.empty())
            continue;
        io_uring_sqe* sqe = io_uring_get_sqe(ring_.get());
        if (!sqe) {
            Submit();
            sqe = io_uring_get_sqe(ring_.get());
        }
        if (!sqe) {
            // The ring will not take more now: this one goes in the next turn's submission.
            Queue(std::move(outbox));
            continue;
        }
        io_uring_prep_send(sqe, outbox->Descriptor(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        io_uring_sqe_set_data64(sqe, TagOf(*outbox));
        inFlight_.emplace(outbox.get(), std::move(outbox));
    }
    Submit();
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
    unsigned head = 0;
    unsigned seen = 0;
    io_uring_cqe* cqe = nullptr;
    io_uring_for_each_cqe(ring_.get(), head, cqe)
    {
        ++seen;
        const auto found = inFlight_.find(reinterpret_cast<const Outbox*>(static_cast<uintptr_t>(cqe->user_data)));
        if (cqe->user_data == kCancelTag || found == inFlight_.end())
            continue;
        done.emplace_back(std::move(found->second), cqe->res);
        inFlight_.erase(found);
    }
    io_uring_cq_advance(ring_.get(), seen);
    // Handed on after the queue has been advanced: a handler may queue its next send at once.
    for (auto& [outbox, result] : done)
        outbox->OnSendDone(result);
}

void UringSender::WaitForCompletions()
{
    wakeup_.async_wait(asio::posix::stream_descriptor::wait_read, [weak = weak_from_this()](const std::error_code& error) {
        const auto self = weak.lock();
        if (error || !self)
            return;
        uint64_t count = 0;
        [[maybe_unused]] const ssize_t read = ::read(self->wakeup_.native_handle(), &count, sizeof count);
        self->Reap();
        self->WaitForCompletions();
    });
}

bool ChooseSender(asio::io_context& context, const std::string& wanted, std::shared_ptr<UringSender>& sender,
                  std::string& line, std::string& error)
{
    sender = nullptr;
    if (wanted == "epoll") {
        line = "io: epoll, one send() per record";
        return true;
    }
    std::string reason;
    sender = UringSender::Create(context, reason);
    if (sender) {
        line = "io: io_uring, the records due in one wake-up sent in one submission";
        return true;
    }
    if (wanted == "uring") {
        error = "--io uring: io_uring cannot be used here: " + reason;
        return false;
    }
    line = "io: epoll, one send() per record (io_uring cannot be used here: " + reason + ")";
    return true;
}

}  // namespace mimicbox::io
