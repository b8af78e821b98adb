#include "tools/capture/CaptureWriter.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <utility>

#include "tools/io/RecordFramer.h"

namespace mimicbox::capture {

namespace {

constexpr std::size_t kWakeBytes = 1 << 20;
constexpr std::chrono::milliseconds kLookEvery{20};

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
        queuedBytes_ += event.bytes.size() + 64;
        queue_.push_back(std::move(event));
        wake = queuedBytes_ > kWakeBytes;
    }
    // The writer looks every few milliseconds anyway: waking it for each chunk would cost the
    // forwarding thread a system call and the machine a switch per chunk.
    if (wake)
        wake_.notify_one();
}

bool CaptureWriter::Congested() const
{
    const std::lock_guard lock(mutex_);
    return queuedBytes_ > bound_;
}

void CaptureWriter::Run()
{
    std::map<std::pair<uint64_t, Side>, io::RecordFramer> framers;
    std::vector<CaptureEvent> batch;
    std::vector<std::string_view> records;
    std::vector<std::string> owned;  // records that spanned chunks
    std::string lines;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait_for(lock, kLookEvery, [this] { return closing_ || queuedBytes_ > kWakeBytes; });
            if (queue_.empty() && closing_)
                return;
            batch.swap(queue_);
            queuedBytes_ = 0;
        }
        lines.clear();
        for (const CaptureEvent& event : batch) {
            records.clear();
            owned.clear();
            if (event.kind == CaptureKind::kData) {
                io::RecordFramer& framer = framers.try_emplace({event.conn, event.from}, kLongestRecord).first->second;
                framer.Feed(event.bytes, [&](std::string_view record) { owned.emplace_back(record); }, [](std::size_t) {});
                for (const std::string& record : owned)
                    records.push_back(record);
            } else if (event.kind == CaptureKind::kClose || event.kind == CaptureKind::kReset ||
                       event.kind == CaptureKind::kConnectFailed) {
                framers.erase({event.conn, Side::kDevice});
                framers.erase({event.conn, Side::kServer});
            }
            lines += EventLine(event, records);
        }
        batch.clear();
        if (lines.empty())
            continue;
        if (std::fwrite(lines.data(), 1, lines.size(), file_) != lines.size() || std::fflush(file_) != 0) {
            const std::lock_guard lock(mutex_);
            if (failure_.empty())
                failure_ = std::string("writing the capture: ") + std::strerror(errno);
        }
    }
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
