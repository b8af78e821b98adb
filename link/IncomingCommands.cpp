// Records from the server: each chunk is split at its NUL bytes and every record acted on until one
// does not read.
#include <cstring>

#include "link/Record.h"
#include "ui/MimicboxDlg.h"

using namespace mimicbox;

void CMimicboxDlg::OnReceiveData(const char* pData, int nCount)
{
    // The caller's NUL after the received bytes ends the last record.
    int nRemaining = nCount;
    const char* pRecord = pData;
    while (nRemaining > 0) {
        const std::size_t nLength = std::strlen(pRecord);
        nRemaining -= static_cast<int>(nLength) + 1;
        const char* pNext = pRecord + nLength + 1;
        const std::string_view record(pRecord, nLength);
        RecordHeader header;
        if (!ParseHeader(record, header))
            return;
        if (header[6] == CMD_SWITCH_TOGGLE && m_nDeviceType == TYPE_RELAY) {
            m_nSwitchState = ToggleSwitch(m_nSwitchState);
            InvalidateRect(nullptr, TRUE);
            UpdateData(FALSE);
        }
        pRecord = pNext;
    }
}
