// What a chunk from the server tells: an event for every record in it, in order.
#pragma once

#include <functional>
#include <string_view>

#include "tools/sim/Event.h"

namespace mimicbox::sim {

// One kReceived event per NUL-ended record of the chunk (and its unended tail), from `make`. The
// first `recordsRead` were read by the device, those after the first unreadable one were not (a
// device drops the rest of the chunk: such a record that reads on its own is marked dropped); a
// read record that flips the device's switch is marked toggled when the device obeys.
void TellReceived(std::string_view chunk, int recordsRead, bool obeying, const std::function<Event()>& make,
                  EventSink& sink);

}  // namespace mimicbox::sim
