#include "tools/capture/CaptureWriter.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <unordered_map>
#include <utility>

#include "tools/io/RecordFramer.h"

namespace mimicbox::capture {

namespace {

constexpr std::size_t kWakeBytes = 1 << 20;
// Lines are written out once this much of them is made: a batch of garbage writes six bytes of JSON
// for each of its own, which must not all be held at once.
constexpr std::size_t kLinesAtOnce = 1 << 20;
// Records are decoded for the reader of the file up to this length; a device reads 4 KB at most,
// and the framer of a side that never sends a NUL holds no more than this.
constexpr std::size_t kLongestDecoded = 64 << 10;
// Often enough that a capture on disk trails the wire by a moment only; seldom enough that waking
// costs nothing beside the forwarding.
constexpr std::chrono::milliseconds kLookEvery{100};

// One framer per connection and direction.
uint64_t FramerKey(const CaptureEvent& event, Side side) { return event.conn * 2 + (side == Side::kServer ? 1 : 0); }

// What an event holds in memory while queued.
std::size_t Footprint(const CaptureEvent& event)
{
    return sizeof(CaptureEvent) + event.bytes.capacity() + event.peer.capacity() + event.reason.capacity();
}

}  // namespace

CaptureWriter::~CaptureWriter()
{
    std::string ignored;
    Close(ignored);
}

bool CaptureWriter::Open(const std::string& path, const CaptureHeader& header, std::string& error)
{
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    const std::string line = HeaderLine(header);
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fflush(file_);
    thread_ = std::thread([this] { Run(); });
    return true;
}

void CaptureWriter::Add(CaptureEvent event)
{
    bool wake = false;
    {
        const std::lock_guard lock(mutex_);
        queuedBytes_ += Footprint(event);
        queue_.push_back(std::move(event));
        wake = queuedBytes_ > kWakeBytes;
        congested_.store(queuedBytes_ + writing_ > bound_, std::memory_order_relaxed);
    }
    // The writer looks every few milliseconds anyway: waking it for each chunk would cost the
    // forwarding thread a system call and the machine a switch per chunk.
    if (wake)
        wake_.notify_one();
}

bool CaptureWriter::Congested() const { return congested_.load(std::memory_order_relaxed); }

void CaptureWriter::Run()
{
    std::unordered_map<uint64_t, io::RecordFramer> framers;
    std::vector<CaptureEvent> batch;
    std::vector<std::string_view> records;
    std::string spanning;  // the one record of a chunk that began in an earlier chunk
    std::string lines;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait_for(lock, kLookEvery, [this] { return closing_ || queuedBytes_ > kWakeBytes; });
            if (queue_.empty() && closing_)
                return;
            // The batch counts against the bound until it is on disk.
            batch.swap(queue_);
            writing_ = queuedBytes_;
            queuedBytes_ = 0;
        }
        lines.clear();
        for (const CaptureEvent& event : batch) {
            records.clear();
            if (event.kind == CaptureKind::kData) {
                io::RecordFramer& framer = framers.try_emplace(FramerKey(event, event.from), kLongestDecoded).first->second;
                const std::string_view bytes = event.bytes;
                framer.Feed(bytes, [&](std::string_view record) {
                    // Records within the chunk are read where they lie; the framer's own is about to go.
                    if (record.data() < bytes.data() || record.data() >= bytes.data() + bytes.size())
                        record = spanning.assign(record);
                    records.push_back(record);
                }, [](std::size_t) {});
            } else if (event.kind == CaptureKind::kClose || event.kind == CaptureKind::kReset ||
                       event.kind == CaptureKind::kConnectFailed) {
                framers.erase(FramerKey(event, Side::kDevice));
                framers.erase(FramerKey(event, Side::kServer));
            }
            AppendEventLine(lines, event, records);
            if (lines.size() >= kLinesAtOnce)
                Write(lines);
        }
        batch.clear();
        Write(lines);
        const std::lock_guard lock(mutex_);
        writing_ = 0;
        congested_.store(queuedBytes_ > bound_, std::memory_order_relaxed);
    }
}

void CaptureWriter::Write(std::string& lines)
{
    if (lines.empty())
        return;
    if (std::fwrite(lines.data(), 1, lines.size(), file_) != lines.size() || std::fflush(file_) != 0) {
        const std::lock_guard lock(mutex_);
        if (failure_.empty())
            failure_ = std::string("writing the capture: ") + std::strerror(errno);
    }
    lines.clear();
}

bool CaptureWriter::Close(std::string& error)
{
    if (!file_)
        return true;
    {
        const std::lock_guard lock(mutex_);
        closing_ = true;
    }
    wake_.notify_one();
    thread_.join();
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!failure_.empty() || !closed) {
        error = failure_.empty() ? std::string("closing the capture: ") + std::strerror(errno) : failure_;
        return false;
    }
    return true;
}

}  // namespace mimicbox::capture
