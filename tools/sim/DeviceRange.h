// The devices of a run as the command line names them: ranges of serial numbers per model, checked
// for overlaps, and cut into equal shards so that several processes cover one large plant.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/DeviceModel.h"

namespace mimicbox::sim {

constexpr int32_t kMaxSerial = 2147483647;
// One process runs at most this many devices; a larger plant runs in shards.
constexpr std::size_t kMaxDevicesPerProcess = 1000000;
constexpr std::size_t kMaxShards = 1000000;

struct DeviceRange {
    int32_t deviceType = TYPE_THERMO;
    int32_t first = 1;
    int32_t last = 1;

    std::size_t Size() const { return static_cast<std::size_t>(last - first) + 1; }
    bool Contains(const DeviceIdentity& device) const
    {
        return device.nDeviceType == deviceType && device.nSerial >= first && device.nSerial <= last;
    }
    friend bool operator==(const DeviceRange&, const DeviceRange&) = default;
};

// "thermo:3", "relay:1005", "thermo:1-5000", "relay:1001-6000". Serials run from 1 to 2147483647;
// "relay:N" with N from 1 to 16 (and a range within 1 to 16) means 1000 + N, the dialog's numbering,
// so a Relay-Box range that starts within 1 to 16 must end there too. False with the reason when the
// text is none of these.
bool ParseDeviceRange(std::string_view text, DeviceRange& range, std::string& error);

// "thermo:3" for one device, "relay:1001-1016" for a range.
std::string RangeName(const DeviceRange& range);

// The dialog's 32 devices: Thermo-Box 1 to 16 and Relay-Box 1001 to 1016, interleaved.
std::vector<DeviceRange> AllDialogDevices();

// False with a message naming the first device that two ranges share.
bool CheckNoOverlap(const std::vector<DeviceRange>& ranges, std::string& error);

std::size_t CountDevices(const std::vector<DeviceRange>& ranges);

// "K/N": shard K (counted from 0, as a Kubernetes completion index) of N. False with the reason.
bool ParseShard(std::string_view text, std::size_t& index, std::size_t& count, std::string& error);

// The devices of shard `index` of `count`: the index-th of `count` consecutive slices of the devices
// in the order given, whose sizes differ by at most one. Only the slice is made into a list.
std::vector<DeviceIdentity> ShardDevices(const std::vector<DeviceRange>& ranges, std::size_t index, std::size_t count);

}  // namespace mimicbox::sim
