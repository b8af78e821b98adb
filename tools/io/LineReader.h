// Lines typed on a terminal or written into a pipe, read without blocking the loop.
#pragma once

#include <asio/io_context.hpp>
#include <asio/posix/stream_descriptor.hpp>
#include <functional>
#include <memory>
#include <string>

namespace mimicbox::io {

class LineReader {
public:
    using OnLine = std::function<void(const std::string& line)>;

    // Reads descriptor fd (not owned, not closed) until it ends. A descriptor the loop cannot watch
    // (a regular file, /dev/null) is not read.
    LineReader(asio::io_context& context, int fd, OnLine onLine);
    ~LineReader();

private:
    struct State;
    std::shared_ptr<State> state_;
};

}  // namespace mimicbox::io
