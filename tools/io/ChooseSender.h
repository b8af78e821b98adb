// Which way a program's sockets send: io_uring's batches where the kernel allows, else one send()
// each, as the user asked.
#pragma once

#include <asio/io_context.hpp>
#include <memory>
#include <string>

#include "tools/io/UringSender.h"

namespace mimicbox::io {

// "auto", "uring" or "epoll": the sender to use, or none for one send() per record. With "auto",
// falls back where io_uring is unavailable; `line` says which path is in use and why.
bool ChooseSender(asio::io_context& context, const std::string& wanted, std::shared_ptr<UringSender>& sender,
                  std::string& line, std::string& error, bool receives = false);

}  // namespace mimicbox::io
