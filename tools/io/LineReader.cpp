#include "tools/io/LineReader.h"

#include <array>
#include <unistd.h>

namespace mimicbox::io {

namespace {

// A line longer than this is no command; it is dropped.
constexpr std::size_t kMaxLine = 4096;

}  // namespace

struct LineReader::State : std::enable_shared_from_this<State> {
    State(asio::io_context& context, OnLine line) : stream(context), onLine(std::move(line)) {}

    void Read()
    {
        stream.async_read_some(asio::buffer(buffer), [self = shared_from_this()](const std::error_code& error, std::size_t size) {
            if (error || self->stopped)
                return;
            self->OnData(size);
            self->Read();
        });
    }

    void OnData(std::size_t size)
    {
        pending.append(buffer.data(), size);
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            onLine(line);
            if (stopped)
                return;
        }
        if (pending.size() > kMaxLine)
            pending.clear();
    }

    asio::posix::stream_descriptor stream;
    OnLine onLine;
    std::array<char, 512> buffer{};
    std::string pending;
    bool stopped = false;
};

LineReader::LineReader(asio::io_context& context, int fd, OnLine onLine)
    : state_(std::make_shared<State>(context, std::move(onLine)))
{
    // A duplicate, so that closing the stream leaves the process's descriptor open.
    const int copy = ::dup(fd);
    std::error_code error;
    if (copy < 0)
        return;
    state_->stream.assign(copy, error);
    if (error) {
        ::close(copy);
        return;
    }
    state_->Read();
}

LineReader::~LineReader()
{
    state_->stopped = true;
    std::error_code ignored;
    state_->stream.close(ignored);
}

}  // namespace mimicbox::io
