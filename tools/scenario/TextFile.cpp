#include "tools/scenario/TextFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mimicbox::scenario {

namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

std::string TooLarge(std::size_t limit)
{
    const bool megabytes = limit % (std::size_t{1} << 20) == 0;
    return "larger than " + std::to_string(megabytes ? limit >> 20 : limit) + (megabytes ? " MB" : " bytes");
}

}  // namespace

bool ReadTextFile(const std::string& path, std::string& text, std::string& error, std::size_t limit)
{
    // Not blocking: opening a named pipe waits for a writer otherwise.
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.Get() < 0) {
        error = std::strerror(errno);
        return false;
    }
    struct stat status {};
    if (::fstat(file.Get(), &status) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        error = S_ISDIR(status.st_mode) ? "a folder, not a file" : "not a regular file";
        return false;
    }
    if (static_cast<std::size_t>(status.st_size) > limit) {
        error = TooLarge(limit);
        return false;
    }
    text.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t size = ::read(file.Get(), buffer, sizeof buffer);
        if (size < 0 && errno == EINTR)
            continue;
        if (size < 0) {
            error = std::strerror(errno);
            return false;
        }
        if (size == 0)
            return true;
        // A file that grows while it is read is held to the limit too.
        if (text.size() + static_cast<std::size_t>(size) > limit) {
            error = TooLarge(limit);
            return false;
        }
        text.append(buffer, static_cast<std::size_t>(size));
    }
}

}  // namespace mimicbox::scenario
