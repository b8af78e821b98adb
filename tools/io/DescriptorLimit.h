// The process's limit on open descriptors, raised as far as it may go so that a large plant fits.
#pragma once

#include <cstddef>
#include <string>

namespace mimicbox::io {

// Descriptors beside the sockets of devices or replayed connections: standard streams, the loop's
// own, the io_uring ring, a lookup.
constexpr std::size_t kSpareDescriptors = 32;

// Raises the soft limit to the hard one. False with a message when even that cannot hold `needed`
// descriptors.
bool RaiseDescriptorLimit(std::size_t needed, std::string& error);

// How many descriptors the process may have open, `spare` of them set aside, at most `cap`.
std::size_t DescriptorRoom(std::size_t spare, std::size_t cap);

}  // namespace mimicbox::io
