// Names of files in the control API's data folder: found inside it, and nowhere else, however their
// dots, slashes and links go.
#include "tools/control/FileWorker.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(FileWorkerTest, ANameResolvesOnlyToAFileInsideTheDataFolder)
{
    const fs::path root = fs::temp_directory_path() / ("mimicbox-files-" + std::to_string(::getpid()));
    fs::create_directories(root / "data" / "sub");
    fs::create_directories(root / "outside");
    fs::create_symlink(root / "outside", root / "data" / "out");
    fs::create_symlink("sub", root / "data" / "in");
    const std::string data = fs::canonical(root / "data").string();
    const struct {
        const char* name;
        const char* path;  // "" when refused
    } rows[] = {
        {"kiln.csv", "/kiln.csv"},
        {"sub/./kiln.csv", "/sub/kiln.csv"},
        {"in/kiln.csv", "/sub/kiln.csv"},
        {"sub/../kiln.csv", "/kiln.csv"},
        {"../outside/kiln.csv", ""},
        {"out/kiln.csv", ""},
        {"nothing/../out/kiln.csv", ""},  // the link behind a ".." of a name that does not exist
        {"sub././../out/;s././/../dsv", ""},
        {"/etc/passwd", ""},
        {"", ""},
        {"sub/..", ""},  // the folder itself is no file in it
        {"sub/./../b/./././..", ""},
        {".", ""},
    };
    for (const auto& row : rows) {
        std::string path;
        std::string error;
        const bool found = mimicbox::control::ResolveInFolder((root / "data").string(), row.name, path, error);
        EXPECT_EQ(found, *row.path != '\0') << row.name << ": " << path << error;
        if (found)
            EXPECT_EQ(path, data + row.path) << row.name;
        else
            EXPECT_FALSE(error.empty()) << row.name;
    }
    fs::remove_all(root);
}
