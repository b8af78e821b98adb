// Writes a capture on a thread of its own, so that forwarding never waits for the disk: events are
// queued as they happen and turned into lines there, records decoded as each chunk completes them.
// The queue is bounded, the batch being written included: past its bound, Congested() asks the proxy
// to read no more until the disk catches up, so that memory stays bounded and nothing is dropped.
// Lines go to the file a megabyte at a time, and a record is decoded for the file up to 64 KB.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/capture/Capture.h"
#include "tools/capture/CaptureLine.h"

namespace mimicbox::capture {

class CaptureWriter {
public:
    explicit CaptureWriter(std::size_t bound = std::size_t{64} << 20) : bound_(bound) {}
    ~CaptureWriter();
    CaptureWriter(const CaptureWriter&) = delete;
    CaptureWriter& operator=(const CaptureWriter&) = delete;

    // Creates the file and writes the header; false with a message when it cannot.
    bool Open(const std::string& path, const CaptureHeader& header, std::string& error);
    void Add(CaptureEvent event);
    bool Congested() const;
    // Writes what is queued and closes the file; false with a message when a write failed.
    bool Close(std::string& error);

private:
    void Run();
    // Writes the lines and empties them; a failure is kept for Close.
    void Write(std::string& lines);

    std::size_t bound_;
    std::FILE* file_ = nullptr;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<CaptureEvent> queue_;
    std::size_t queuedBytes_ = 0;
    std::size_t writing_ = 0;  // the batch the thread writes now
    std::atomic<bool> congested_{false};  // read on every wait to read, without the lock
    bool closing_ = false;
    std::string failure_;
};

}  // namespace mimicbox::capture
