// The report cycle: the timer that drives the reports, the tick, the Send toggle and the pressed look
// of the step and Send buttons.
#include "ui/MimicboxDlg.h"

using namespace mimicbox;

void CMimicboxDlg::OnTimer(UINT_PTR nIDEvent)
{
    if (!UpdateData(TRUE)) {
        // Invalid fields end the cycle; the latched step mode stays.
        StopReportTimer();
        m_btnSend.SetState(FALSE);
    } else {
        if (m_nDeviceType == TYPE_THERMO)
            m_fTemperature = StepTemperature(m_fTemperature, m_nStepMode);
        if (m_pSocket)
            SendReport();
        UpdateData(FALSE);
    }
    CDialog::OnTimer(nIDEvent);
}

void CMimicboxDlg::OnClickedSend()
{
    const BOOL bValid = UpdateData(TRUE);
    if (GetFocus() != &m_btnSend)
        return;
    if (m_nTimer != 0)
        StopReportTimer();
    else if (bValid)
        StartReportTimer(THERMO_PERIOD_MS);
    m_nStepMode = STEP_NONE;
    ShowStepState();
    UpdateData(FALSE);
}

void CMimicboxDlg::ShowStepState()
{
    m_btnDown.SetState(m_nStepMode == STEP_DOWN);
    m_btnDownFast.SetState(m_nStepMode == STEP_DOWN_FAST);
    m_btnUp.SetState(m_nStepMode == STEP_UP);
    m_btnUpFast.SetState(m_nStepMode == STEP_UP_FAST);
    m_btnSend.SetState(m_nTimer != 0);
}

void CMimicboxDlg::StartReportTimer(UINT nPeriod) { m_nTimer = SetTimer(ID_REPORT_TIMER, nPeriod, nullptr); }

void CMimicboxDlg::StopReportTimer()
{
    if (m_nTimer == 0)
        return;
    KillTimer(m_nTimer);
    m_nTimer = 0;
}
