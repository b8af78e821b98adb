#include "link/IncomingRecords.h"

#include <cstring>

#include "core/DeviceModel.h"

namespace mimicbox {

bool FlipsSwitch(int32_t nDeviceType, const RecordHeader& header)
{
    return header[HEADER_COMMAND] == CMD_SWITCH_TOGGLE && nDeviceType == TYPE_RELAY;
}

int ForEachRecord(const char* pData, int nCount,
                  const std::function<void(const RecordHeader& header, std::string_view record)>& onRecord)
{
    int nHandled = 0;
    int nRemaining = nCount;
    const char* pRecord = pData;
    while (nRemaining > 0) {
        const std::size_t nLength = std::strlen(pRecord);
        nRemaining -= static_cast<int>(nLength) + 1;
        const std::string_view record(pRecord, nLength);
        RecordHeader header;
        if (!ParseHeader(record, header))
            break;
        onRecord(header, record);
        ++nHandled;
        pRecord += nLength + 1;
    }
    return nHandled;
}

}  // namespace mimicbox
