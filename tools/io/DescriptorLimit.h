// The process's limit on open descriptors, raised as far as it may go so that a large plant fits.
#pragma once

#include <cstddef>
#include <string>

namespace mimicbox::io {

// Raises the soft limit to the hard one. False with a message when even that cannot hold `needed`
// descriptors.
bool RaiseDescriptorLimit(std::size_t needed, std::string& error);

}  // namespace mimicbox::io
