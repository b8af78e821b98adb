// Reads the control API's files on a thread of its own, one after another, and hands each result to
// the runner's loop. Read is called from the loop's thread only.
#pragma once

#include <asio/io_context.hpp>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "tools/control/FileSource.h"

namespace mimicbox::control {

class FileWorker : public FileSource {
public:
    // Results are posted to `loop`, which must outlive the worker.
    explicit FileWorker(asio::io_context& loop);
    ~FileWorker() override;

    void Read(const std::string& folder, const std::string& name, Done done) override;

private:
    struct Job {
        std::string folder;
        std::string name;
        Done done;
    };
    void Work();

    asio::io_context& loop_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    bool stopping_ = false;
    std::thread thread_;
};

// The path of `name` inside `folder`, as the file system resolves it; false with why when it cannot
// be, or when it leads out of the folder (by "..", an absolute name or a link).
bool ResolveInFolder(const std::string& folder, const std::string& name, std::string& path, std::string& error);

}  // namespace mimicbox::control
