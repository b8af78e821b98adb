#include "tools/sim/ReceivedRecords.h"

#include <algorithm>

#include "link/IncomingRecords.h"
#include "link/Record.h"

namespace mimicbox::sim {

namespace {

bool Toggles(const DeviceIdentity& identity, std::string_view record)
{
    RecordHeader header;
    return ParseHeader(record, header) && FlipsSwitch(identity.nDeviceType, header);
}

bool Reads(std::string_view record)
{
    RecordHeader header;
    return ParseHeader(record, header);
}

}  // namespace

void TellReceived(std::string_view chunk, int recordsRead, bool obeying, const std::function<Event()>& make,
                  EventSink& sink)
{
    int number = 0;
    for (std::size_t start = 0; start < chunk.size(); ++number) {
        const std::size_t end = std::min(chunk.find('\0', start), chunk.size());
        Event event = make();
        event.record = chunk.substr(start, end - start);
        event.read = number < recordsRead;
        event.dropped = number > recordsRead && Reads(event.record);
        event.toggled = event.read && obeying && Toggles(event.identity, event.record);
        sink.OnEvent(event);
        start = end + 1;
    }
}

}  // namespace mimicbox::sim
