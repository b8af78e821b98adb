// Records from the server: only the switch toggle has an effect, and only on a Relay-Box.
#include "link/IncomingRecords.h"
#include "ui/MimicboxDlg.h"

using namespace mimicbox;

void CMimicboxDlg::OnReceiveData(const char* pData, int nCount)
{
    ForEachRecord(pData, nCount, [this](const RecordHeader& header, std::string_view) {
        if (!FlipsSwitch(m_nDeviceType, header))
            return;
        m_nSwitchState = ToggleSwitch(m_nSwitchState);
        InvalidateRect(nullptr, TRUE);
        UpdateData(FALSE);
    });
}
