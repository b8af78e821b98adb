#include "tools/control/FileWorker.h"

#include <asio/post.hpp>
#include <filesystem>

#include "tools/scenario/TextFile.h"

namespace mimicbox::control {

FileWorker::FileWorker(asio::io_context& loop) : loop_(loop) {}

FileWorker::~FileWorker()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void FileWorker::Read(const std::string& folder, const std::string& name, Done done)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back({folder, name, std::move(done)});
    }
    // The thread starts with the first file: most runs read none.
    if (!thread_.joinable())
        thread_ = std::thread([this] { Work(); });
    wake_.notify_all();
}

void FileWorker::Work()
{
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (stopping_)
                return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        std::string path;
        std::string text;
        std::string error;
        const bool ok = ResolveInFolder(job.folder, job.name, path, error) && scenario::ReadTextFile(path, text, error);
        if (!ok)
            error = "cannot read " + job.name + ": " + error;
        asio::post(loop_, [done = std::move(job.done), ok, text = std::move(text), error = std::move(error)]() mutable {
            done(ok, std::move(text), std::move(error));
        });
    }
}

bool ResolveInFolder(const std::string& folder, const std::string& name, std::string& path, std::string& error)
{
    namespace fs = std::filesystem;
    std::error_code failure;
    const fs::path relative(name);
    if (name.empty() || relative.is_absolute()) {
        error = "a file is named by its path inside the data folder";
        return false;
    }
    const fs::path base = fs::canonical(folder, failure);
    if (failure) {
        error = "the data folder: " + failure.message();
        return false;
    }
    // Twice: the first pass takes ".." after a name that does not exist away by its letters, which
    // may leave a link ("nothing/../out/x" is "out/x") that only the second pass follows.
    fs::path resolved = fs::weakly_canonical(base / relative, failure);
    if (!failure)
        resolved = fs::weakly_canonical(resolved, failure);
    if (failure) {
        error = failure.message();
        return false;
    }
    // "sub/.." ends in a separator: it names the folder itself, no file in it.
    if (resolved.has_parent_path() && resolved.filename().empty())
        resolved = resolved.parent_path();
    const auto [baseEnd, resolvedAt] = std::mismatch(base.begin(), base.end(), resolved.begin(), resolved.end());
    if (baseEnd != base.end() || resolvedAt == resolved.end()) {
        error = "it lies outside the data folder";
        return false;
    }
    path = resolved.string();
    return true;
}

}  // namespace mimicbox::control
