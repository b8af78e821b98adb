// GET /events as Server-Sent Events: the feed's events from a number on, one "id:" and "data:" block
// each, formatted on the HTTP thread, until the feed closes at the end of the run.
#pragma once

#include <cstdint>
#include <optional>

#include "tools/control/EventFeed.h"
#include "tools/control/http/HttpMessage.h"

namespace mimicbox::control {

class EventStream : public http::ResponseStream {
public:
    // The feed must outlive the stream.
    EventStream(EventFeed& feed, uint64_t from, bool reports = true, std::optional<DeviceIdentity> device = {})
        : feed_(feed), from_(from), reports_(reports), device_(device)
    {
    }

    // Delivers the events there are, or waits for the next (delivering nothing, to be asked again
    // on the HTTP thread), or ends once the feed has closed and every event is delivered.
    void Next(Deliver deliver) override;

private:
    EventFeed& feed_;
    uint64_t from_;
    bool reports_;
    std::optional<DeviceIdentity> device_;
};

}  // namespace mimicbox::control
