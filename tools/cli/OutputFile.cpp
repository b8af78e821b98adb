#include "tools/cli/OutputFile.h"

#include <cerrno>
#include <cstring>

namespace mimicbox::cli {

OutputFile::~OutputFile()
{
    if (file_ && file_ != stdout)
        std::fclose(file_);
}

bool OutputFile::Open(const std::string& path, std::string& error)
{
    file_ = path == "-" ? stdout : std::fopen(path.c_str(), "w");
    if (!file_) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace mimicbox::cli
