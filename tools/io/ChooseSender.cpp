#include "tools/io/ChooseSender.h"

namespace mimicbox::io {

bool ChooseSender(asio::io_context& context, const std::string& wanted, std::shared_ptr<UringSender>& sender,
                  std::string& line, std::string& error, bool receives)
{
    sender = nullptr;
    if (wanted == "epoll") {
        line = "io: epoll, one send() per record";
        return true;
    }
    std::string reason;
    sender = UringSender::Create(context, reason, receives);
    if (sender) {
        line = "io: io_uring, the records due in one wake-up sent in one submission";
        return true;
    }
    if (wanted == "uring") {
        error = "--io uring: io_uring cannot be used here: " + reason;
        return false;
    }
    line = "io: epoll, one send() per record (io_uring cannot be used here: " + reason + ")";
    return true;
}

}  // namespace mimicbox::io
