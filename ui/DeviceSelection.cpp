// The device-type and serial-number lists, and the controls shown for each model.
#include <cstdio>

#include "ui/MimicboxDlg.h"

using namespace mimicbox;

void CMimicboxDlg::FillSerialList()
{
    m_cbSerial.ResetContent();
    if (m_nDeviceType != TYPE_RELAY && m_nDeviceType != TYPE_THERMO)
        return;
    const bool bThermo = m_nDeviceType == TYPE_THERMO;
    const int nThermoShow = bThermo ? SW_SHOW : SW_HIDE;
    const int nRelayShow = bThermo ? SW_HIDE : SW_SHOW;
    m_ctlTempUnit.ShowWindow(nThermoShow);
    m_ctlTempLabel.ShowWindow(nThermoShow);
    m_ctlPicture.ShowWindow(nThermoShow);
    m_ctlTemp.ShowWindow(nThermoShow);
    m_btnSend.ShowWindow(nThermoShow);
    m_btnUpFast.ShowWindow(nThermoShow);
    m_btnUp.ShowWindow(nThermoShow);
    m_btnDownFast.ShowWindow(nThermoShow);
    m_btnDown.ShowWindow(nThermoShow);
    m_btnLedOff.ShowWindow(nRelayShow);
    m_btnLedOn.ShowWindow(nRelayShow);
    for (int nIndex = 0; nIndex < SERIAL_COUNT; ++nIndex) {
        char szEntry[16];
        std::snprintf(szEntry, sizeof szEntry, "% 2d", SerialAtIndex(m_nDeviceType, nIndex));
        m_cbSerial.AddString(szEntry);
    }
}

void CMimicboxDlg::OnSelchangeType()
{
    const int nIndex = m_cbType.GetCurSel();
    if (m_nTimer != 0) {
        StopReportTimer();
        ShowStepState();
    }
    const DeviceIdentity device = ChooseModel({m_nDeviceType, m_nSerial}, nIndex);
    m_nDeviceType = device.nDeviceType;
    m_nSerial = device.nSerial;
    if (nIndex == TYPE_INDEX_RELAY)
        StartReportTimer(RELAY_PERIOD_MS);
    FillSerialList();
    m_cbSerial.SetCurSel(SerialListIndex(m_nSerial));
}

void CMimicboxDlg::OnSelchangeSerial()
{
    m_nSerial = ChooseSerial(m_nDeviceType, m_nSerial, m_cbSerial.GetCurSel());
}
