// Whole files of text, as scenarios and their CSV tables are read: regular files of bounded size
// only, so that a named pipe, a device or a huge file gets a message rather than a hang or an abort.
#pragma once

#include <cstddef>
#include <string>

namespace mimicbox::scenario {

constexpr std::size_t kMaxFileBytes = std::size_t{16} << 20;

// The bytes of the regular file at `path`, of at most `limit` bytes. False with why not: "No such
// file or directory", "not a regular file", "larger than 16 MB", ...
bool ReadTextFile(const std::string& path, std::string& text, std::string& error, std::size_t limit = kMaxFileBytes);

}  // namespace mimicbox::scenario
