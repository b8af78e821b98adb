#include "tools/sim/DeviceRange.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace mimicbox;
using namespace mimicbox::sim;

TEST(DeviceRangeTest, NamesAndRangesOfEitherModelAreRead)
{
    struct Row {
        const char* text;
        DeviceRange range;
    };
    const Row rows[] = {
        {"thermo:3", {TYPE_THERMO, 3, 3}},
        {"thermo:1-5000", {TYPE_THERMO, 1, 5000}},
        {"relay:1005", {TYPE_RELAY, 1005, 1005}},
        {"relay:1", {TYPE_RELAY, 1001, 1001}},
        {"relay:16", {TYPE_RELAY, 1016, 1016}},
        {"relay:1-16", {TYPE_RELAY, 1001, 1016}},
        {"relay:17", {TYPE_RELAY, 17, 17}},
        {"relay:1001-6000", {TYPE_RELAY, 1001, 6000}},
        {"thermo:2147483647", {TYPE_THERMO, 2147483647, 2147483647}},
    };
    for (const Row& row : rows) {
        DeviceRange range;
        std::string error;
        ASSERT_TRUE(ParseDeviceRange(row.text, range, error)) << row.text << ": " << error;
        EXPECT_EQ(range, row.range) << row.text;
    }
}

TEST(DeviceRangeTest, BadRangesSayWhy)
{
    struct Row {
        const char* text;
        const char* error;
    };
    const Row rows[] = {
        {"toaster:1", "the model is thermo or relay"},
        {"thermo", "the model is thermo or relay"},
        {"thermo:", "serials are whole numbers from 1 to 2147483647"},
        {"thermo:0", "serials are whole numbers from 1 to 2147483647"},
        {"thermo:-3", "serials are whole numbers from 1 to 2147483647"},
        {"thermo:1-", "serials are whole numbers from 1 to 2147483647"},
        {"thermo:1-2147483648", "serials are whole numbers from 1 to 2147483647"},
        {"relay:99999999999999999999", "serials are whole numbers from 1 to 2147483647"},
        {"thermo:1-2-3", "serials are whole numbers from 1 to 2147483647"},
        {"thermo:5-1", "the range runs backwards"},
        {"thermo: 5", "serials are whole numbers from 1 to 2147483647"},
        // 1 to 16 stand for the dialog's 1001 to 1016; a range across 16 would mix both meanings.
        {"relay:1-17", "a Relay-Box range lies within 1-16 (the dialog's 1001-1016) or above 16"},
        {"relay:15-18", "a Relay-Box range lies within 1-16 (the dialog's 1001-1016) or above 16"},
    };
    for (const Row& row : rows) {
        DeviceRange range;
        std::string error;
        EXPECT_FALSE(ParseDeviceRange(row.text, range, error)) << row.text;
        EXPECT_EQ(error, row.error) << row.text;
    }
}

TEST(DeviceRangeTest, OverlapsNameTheFirstSharedDevice)
{
    std::string error;
    EXPECT_TRUE(CheckNoOverlap({{TYPE_THERMO, 1, 10}, {TYPE_RELAY, 1, 10}, {TYPE_THERMO, 11, 20}}, error));
    EXPECT_FALSE(CheckNoOverlap({{TYPE_THERMO, 1, 10}, {TYPE_RELAY, 1005, 1005}, {TYPE_THERMO, 10, 20}}, error));
    EXPECT_EQ(error, "device thermo:10 given twice");
    EXPECT_FALSE(CheckNoOverlap({{TYPE_RELAY, 1001, 6000}, {TYPE_RELAY, 1005, 1005}}, error));
    EXPECT_EQ(error, "device relay:1005 given twice");
}

TEST(DeviceRangeTest, ShardsCoverEveryDeviceOnceInEqualSlices)
{
    const std::vector<DeviceRange> ranges = {{TYPE_THERMO, 1, 5000}, {TYPE_RELAY, 1001, 6000}, {TYPE_RELAY, 9, 9}};
    for (std::size_t count : {1u, 3u, 7u, 10001u}) {
        std::vector<DeviceIdentity> all;
        std::size_t smallest = SIZE_MAX;
        std::size_t largest = 0;
        for (std::size_t index = 0; index < count; ++index) {
            const std::vector<DeviceIdentity> shard = ShardDevices(ranges, index, count);
            smallest = std::min(smallest, shard.size());
            largest = std::max(largest, shard.size());
            all.insert(all.end(), shard.begin(), shard.end());
        }
        ASSERT_EQ(all.size(), 10001u) << count;
        EXPECT_LE(largest - smallest, 1u) << count;
        EXPECT_EQ(all.front(), (DeviceIdentity{TYPE_THERMO, 1}));
        EXPECT_EQ(all[5000], (DeviceIdentity{TYPE_RELAY, 1001}));
        EXPECT_EQ(all.back(), (DeviceIdentity{TYPE_RELAY, 9}));
    }
}

TEST(DeviceRangeTest, ShardNumbersCountFromZero)
{
    struct Row {
        const char* text;
        bool valid;
    };
    const Row rows[] = {{"0/1", true}, {"2/3", true}, {"3/2", false}, {"2/2", false}, {"0/0", false},
                        {"1", false},  {"a/2", false}, {"1/-2", false}, {"0/1000001", false}, {"/", false}};
    for (const Row& row : rows) {
        std::size_t index = 0;
        std::size_t count = 0;
        std::string error;
        EXPECT_EQ(ParseShard(row.text, index, count, error), row.valid) << row.text;
        EXPECT_EQ(error.empty(), row.valid) << row.text;
    }
}
