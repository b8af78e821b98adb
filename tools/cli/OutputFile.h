// A file the run writes to, named on the command line: "-" is standard output.
#pragma once

#include <cstdio>
#include <string>

namespace mimicbox::cli {

class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    // Opens (and empties) the file, fully buffered: a large plant logs thousands of lines a second.
    // False with a message naming the file when it cannot be written.
    bool Open(const std::string& path, std::string& error);
    // Null until opened.
    std::FILE* Get() const { return file_; }

private:
    std::FILE* file_ = nullptr;
};

}  // namespace mimicbox::cli
