// Feeds arbitrary names to the resolution of files in the control API's data folder, in a folder
// with a file, a folder and links that lead in and out. Oracle: a name resolves only to a path inside
// the folder, however its dots, slashes and links go.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "tools/control/FileWorker.h"

namespace {

namespace fs = std::filesystem;

// The folder, made once: data/ with kiln.csv, sub/, a link out of it and one within it.
const fs::path& Folder()
{
    static const fs::path root = [] {
        const fs::path made = fs::temp_directory_path() / ("mimicbox-datapath-" + std::to_string(::getpid()));
        fs::create_directories(made / "data" / "sub");
        fs::create_directories(made / "outside");
        std::error_code ignored;
        fs::create_symlink(made / "outside", made / "data" / "out", ignored);
        fs::create_symlink("sub", made / "data" / "in", ignored);
        return made;
    }();
    return root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string name(reinterpret_cast<const char*>(data), size);
    if (name.find('\0') != std::string::npos)
        return 0;
    const fs::path folder = Folder() / "data";
    std::string path;
    std::string error;
    if (!mimicbox::control::ResolveInFolder(folder.string(), name, path, error)) {
        if (error.empty())
            __builtin_trap();
        return 0;
    }
    const std::string base = fs::canonical(folder).string() + "/";
    if (path.compare(0, base.size(), base) != 0)
        __builtin_trap();
    // Whatever of it exists leads no further out by a link.
    std::error_code failure;
    const fs::path real = fs::weakly_canonical(path, failure);
    if (!failure && real.string().compare(0, base.size(), base) != 0)
        __builtin_trap();
    return 0;
}
