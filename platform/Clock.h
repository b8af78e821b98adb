// The calendar clock behind the C runtime's _time64; an interface so that tests can set the time.
#pragma once

#include <cstdint>

class IClock {
public:
    virtual ~IClock() = default;
    // Whole seconds since 1970-01-01 00:00:00 UTC.
    virtual int64_t CalendarSeconds() = 0;
};
