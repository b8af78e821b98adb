// The framing of what a server sends: each received chunk is split at its NUL bytes, and every record
// is read in turn until one does not read. Nothing carries over from one chunk to the next.
#pragma once

#include <functional>
#include <string_view>

#include "link/Record.h"

namespace mimicbox {

// The size of a receive buffer: one read takes at most one byte less, so that a NUL always fits.
constexpr int RECEIVE_BUFFER_SIZE = 4096;

// Whether a received record flips the switch of a device of this type: a switch toggle, whatever
// device it names, flips a Relay-Box and nothing else.
bool FlipsSwitch(int32_t nDeviceType, const RecordHeader& header);

// Hands the header and text of each record of the chunk to `onRecord`, in order, and stops silently at
// the first record whose header does not read; the rest of the chunk is dropped. pData must hold
// nCount bytes followed by a NUL, which ends the last record. Returns the number of records handed over.
int ForEachRecord(const char* pData, int nCount,
                  const std::function<void(const RecordHeader& header, std::string_view record)>& onRecord);

}  // namespace mimicbox
