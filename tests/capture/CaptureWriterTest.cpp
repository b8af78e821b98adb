#include "tools/capture/CaptureWriter.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

using namespace mimicbox::capture;

namespace {

CaptureEvent Data(uint64_t conn, Side from, std::string bytes)
{
    CaptureEvent event;
    event.conn = conn;
    event.from = from;
    event.bytes = std::move(bytes);
    return event;
}

std::vector<nlohmann::json> Lines(const std::string& path)
{
    std::ifstream file(path);
    std::vector<nlohmann::json> lines;
    for (std::string line; std::getline(file, line);)
        lines.push_back(nlohmann::json::parse(line));
    return lines;
}

}  // namespace

// Records are decoded per connection and direction, however the chunks split them and interleave.
TEST(CaptureWriterTest, DecodesRecordsSplitAcrossChunksOfEachConnectionAndSide)
{
    const std::string path = (std::filesystem::temp_directory_path() / "capture-writer-test.jsonl").string();
    const std::string relay = "TolvarkControl: 8, 1005, 4, 0, 0, 1, 10;1765000000, 1, 0;";
    const std::string toggle = "TolvarkControl: 8, 1005, 0, 0, 0, 0, 11;";
    CaptureWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(path, {"record", "127.0.0.1:54741", 0}, error)) << error;
    writer.Add(Data(1, Side::kDevice, relay.substr(0, 20)));
    writer.Add(Data(1, Side::kServer, toggle + '\0' + toggle.substr(0, 5)));
    writer.Add(Data(2, Side::kDevice, relay + '\0'));
    writer.Add(Data(1, Side::kDevice, relay.substr(20) + '\0' + relay + '\0'));
    writer.Add(Data(1, Side::kServer, toggle.substr(5) + '\0'));
    ASSERT_TRUE(writer.Close(error)) << error;

    const std::vector<nlohmann::json> lines = Lines(path);
    std::filesystem::remove(path);
    ASSERT_EQ(lines.size(), 6u);
    const std::vector<std::size_t> counts = {0, 1, 1, 2, 1};
    for (std::size_t i = 0; i < counts.size(); ++i)
        EXPECT_EQ(lines[i + 1]["records"].size(), counts[i]) << i;
    EXPECT_EQ(lines[4]["records"][0]["switch"], "on");
    EXPECT_EQ(lines[4]["records"][1]["serial"], 1005);
    EXPECT_EQ(lines[5]["records"][0]["command"], 11);
}

// Past its bound the writer asks for a pause, and lifts it once what was queued is on disk, every
// byte of it, the garbage as lines many times its size included.
TEST(CaptureWriterTest, CongestionHoldsUntilTheQueueIsWrittenAndNothingIsDropped)
{
    const std::string path = (std::filesystem::temp_directory_path() / "capture-writer-bound.jsonl").string();
    CaptureWriter writer(1 << 20);
    std::string error;
    ASSERT_TRUE(writer.Open(path, {"record", "127.0.0.1:54741", 0}, error)) << error;
    const std::string garbage(256 << 10, '\x01');
    for (int i = 0; i < 8; ++i)
        writer.Add(Data(1, Side::kDevice, garbage));
    EXPECT_TRUE(writer.Congested());
    for (int wait = 0; wait < 200 && writer.Congested(); ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(writer.Congested());
    ASSERT_TRUE(writer.Close(error)) << error;
    const std::vector<nlohmann::json> lines = Lines(path);
    std::filesystem::remove(path);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[8]["bytes"].get<std::string>().size(), garbage.size());
    // A side that never ends a record decodes none, and its framer holds no more than 64 KB.
    EXPECT_TRUE(lines[8]["records"].empty());
}
