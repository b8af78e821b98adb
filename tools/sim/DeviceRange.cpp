#include "tools/sim/DeviceRange.h"

#include <algorithm>
#include <charconv>

#include "tools/sim/Device.h"

namespace mimicbox::sim {

namespace {

bool ParseSerial(std::string_view text, int32_t& serial)
{
    const auto result = std::from_chars(text.data(), text.data() + text.size(), serial);
    return result.ec == std::errc{} && result.ptr == text.data() + text.size() && serial >= 1;
}

bool ParseCount(std::string_view text, std::size_t& value)
{
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && result.ec == std::errc{} && result.ptr == text.data() + text.size();
}

}  // namespace

bool ParseDeviceRange(std::string_view text, DeviceRange& range, std::string& error)
{
    const std::size_t colon = text.find(':');
    const std::string_view model = text.substr(0, colon);
    if (colon == std::string_view::npos || (model != MODEL_KEY_THERMO && model != MODEL_KEY_RELAY)) {
        error = "the model is thermo or relay";
        return false;
    }
    const std::string_view serials = text.substr(colon + 1);
    const std::size_t dash = serials.find('-');
    int32_t first = 0;
    int32_t last = 0;
    if (!ParseSerial(serials.substr(0, dash), first) ||
        !ParseSerial(dash == std::string_view::npos ? serials.substr(0, dash) : serials.substr(dash + 1), last)) {
        error = "serials are whole numbers from 1 to 2147483647";
        return false;
    }
    if (last < first) {
        error = "the range runs backwards";
        return false;
    }
    range.deviceType = model == MODEL_KEY_RELAY ? TYPE_RELAY : TYPE_THERMO;
    // The dialog numbers its Relay-Boxes 1 to 16 and sends 1001 to 1016; a range may use either
    // numbering, but not both.
    if (range.deviceType == TYPE_RELAY && first <= SERIAL_COUNT) {
        if (last > SERIAL_COUNT) {
            error = "a Relay-Box range lies within 1-16 (the dialog's 1001-1016) or above 16";
            return false;
        }
        first += RELAY_SERIAL_OFFSET;
        last += RELAY_SERIAL_OFFSET;
    }
    range.first = first;
    range.last = last;
    return true;
}

std::string RangeName(const DeviceRange& range)
{
    const std::string first = DeviceName({range.deviceType, range.first});
    return range.first == range.last ? first : first + "-" + std::to_string(range.last);
}

std::vector<DeviceRange> AllDialogDevices()
{
    std::vector<DeviceRange> ranges;
    for (int32_t base = 1; base <= SERIAL_COUNT; ++base) {
        ranges.push_back({TYPE_THERMO, base, base});
        ranges.push_back({TYPE_RELAY, base + RELAY_SERIAL_OFFSET, base + RELAY_SERIAL_OFFSET});
    }
    return ranges;
}

bool CheckNoOverlap(const std::vector<DeviceRange>& ranges, std::string& error)
{
    std::vector<DeviceRange> sorted = ranges;
    std::sort(sorted.begin(), sorted.end(), [](const DeviceRange& a, const DeviceRange& b) {
        return a.deviceType != b.deviceType ? a.deviceType < b.deviceType : a.first < b.first;
    });
    for (std::size_t i = 1; i < sorted.size(); ++i) {
        const DeviceRange& previous = sorted[i - 1];
        const DeviceRange& next = sorted[i];
        if (previous.deviceType == next.deviceType && next.first <= previous.last) {
            error = "device " + DeviceName({next.deviceType, next.first}) + " given twice";
            return false;
        }
    }
    return true;
}

std::size_t CountDevices(const std::vector<DeviceRange>& ranges)
{
    std::size_t count = 0;
    for (const DeviceRange& range : ranges)
        count += range.Size();
    return count;
}

bool ParseShard(std::string_view text, std::size_t& index, std::size_t& count, std::string& error)
{
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos || !ParseCount(text.substr(0, slash), index) ||
        !ParseCount(text.substr(slash + 1), count)) {
        error = "a shard is K/N, two whole numbers";
        return false;
    }
    if (count == 0 || count > kMaxShards || index >= count) {
        error = "N runs from 1 to 1000000, and K from 0 to N - 1";
        return false;
    }
    return true;
}

std::vector<DeviceIdentity> ShardDevices(const std::vector<DeviceRange>& ranges, std::size_t index, std::size_t count)
{
    const std::size_t total = CountDevices(ranges);
    // Slice boundaries at total * k / count, computed so that no product overflows.
    const auto boundary = [&](std::size_t k) { return total / count * k + total % count * k / count; };
    const std::size_t begin = boundary(index);
    const std::size_t end = boundary(index + 1);
    std::vector<DeviceIdentity> devices;
    devices.reserve(end - begin);
    std::size_t offset = 0;
    for (const DeviceRange& range : ranges) {
        const std::size_t size = range.Size();
        const std::size_t from = std::max(begin, offset);
        const std::size_t to = std::min(end, offset + size);
        for (std::size_t position = from; position < to; ++position)
            devices.push_back({range.deviceType, static_cast<int32_t>(range.first + static_cast<int32_t>(position - offset))});
        offset += size;
    }
    return devices;
}

}  // namespace mimicbox::sim
