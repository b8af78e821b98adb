// Files read for scenarios and CSV tables: regular files of bounded size only, never a hang on a pipe
// or an endless device.
#include "tools/scenario/TextFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

using mimicbox::scenario::ReadTextFile;

TEST(TextFileTest, OnlyRegularFilesWithinTheLimitAreRead)
{
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "mimicbox-text-file-test";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "small.csv") << "0,20\n";
    std::ofstream(folder / "big.csv") << std::string(2048, 'x');
    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0600), 0);

    std::string text;
    std::string error;
    EXPECT_TRUE(ReadTextFile((folder / "small.csv").string(), text, error, 1024));
    EXPECT_EQ(text, "0,20\n");
    struct Row {
        std::string path;
        const char* error;
    };
    const Row rows[] = {
        {(folder / "big.csv").string(), "larger than 1024 bytes"},
        {(folder / "pipe").string(), "not a regular file"},
        {"/dev/zero", "not a regular file"},
        {folder.string(), "a folder, not a file"},
        {(folder / "missing.csv").string(), "No such file or directory"},
    };
    for (const Row& row : rows) {
        EXPECT_FALSE(ReadTextFile(row.path, text, error, 1024)) << row.path;
        EXPECT_EQ(error, row.error) << row.path;
    }
    std::filesystem::remove_all(folder);
}
