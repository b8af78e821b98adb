#include "tools/io/StopSignals.h"

#include <csignal>
#include <cstdlib>

namespace mimicbox::io {

StopSignals::StopSignals(asio::io_context& context, std::function<void()> onStop)
    : signals_(context, SIGINT, SIGTERM), onStop_(std::move(onStop))
{
    std::signal(SIGPIPE, SIG_IGN);
    Wait();
}

void StopSignals::Cancel()
{
    std::error_code ignored;
    signals_.cancel(ignored);
}

void StopSignals::Wait()
{
    signals_.async_wait([this](const std::error_code& error, int) {
        if (error)
            return;
        if (stopping_)
            std::_Exit(130);
        stopping_ = true;
        onStop_();
        Wait();
    });
}

}  // namespace mimicbox::io
