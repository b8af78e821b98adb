// SIGINT and SIGTERM as events of the loop, and SIGPIPE ignored, so that a closed connection can
// never end the process.
#pragma once

#include <asio/io_context.hpp>
#include <asio/signal_set.hpp>
#include <functional>

namespace mimicbox::io {

class StopSignals {
public:
    // Calls `onStop` from the loop on the first SIGINT or SIGTERM; a second one ends the process.
    StopSignals(asio::io_context& context, std::function<void()> onStop);
    // Stops waiting, so that the loop can run out of work.
    void Cancel();

private:
    void Wait();

    asio::signal_set signals_;
    std::function<void()> onStop_;
    bool stopping_ = false;
};

}  // namespace mimicbox::io
