// The latched step buttons and the two switch indicators.
#include "ui/MimicboxDlg.h"
#include "ui/res/Resource.h"

#include "platform/Gdi.h"

using namespace mimicbox;

namespace {

constexpr COLORREF LED_OFF_COLOR = RGB(255, 0, 0);
constexpr COLORREF LED_ON_COLOR = RGB(0, 255, 0);

}  // namespace

void CMimicboxDlg::OnClickedStep(CButton& button, int nButtonMode)
{
    UpdateData(TRUE);
    // Only a real press of this button toggles; a failed field has taken the focus.
    if (GetFocus() == &button)
        m_nStepMode = ToggleStepMode(m_nStepMode, nButtonMode);
    ShowStepState();
    UpdateData(FALSE);
}

void CMimicboxDlg::OnClickedDown() { OnClickedStep(m_btnDown, STEP_DOWN); }

void CMimicboxDlg::OnClickedDownFast() { OnClickedStep(m_btnDownFast, STEP_DOWN_FAST); }

void CMimicboxDlg::OnClickedUp() { OnClickedStep(m_btnUp, STEP_UP); }

void CMimicboxDlg::OnClickedUpFast() { OnClickedStep(m_btnUpFast, STEP_UP_FAST); }

void CMimicboxDlg::OnClickedLedOn()
{
    InvalidateRect(nullptr, TRUE);
    m_nSwitchState = 1;
    UpdateData(FALSE);
}

void CMimicboxDlg::OnClickedLedOff()
{
    InvalidateRect(nullptr, TRUE);
    m_nSwitchState = 0;
    UpdateData(FALSE);
}

void CMimicboxDlg::OnDrawItem(int nIDCtl, LPDRAWITEMSTRUCT lpDrawItemStruct)
{
    const bool bIndicator = nIDCtl == IDC_LED_OFF || nIDCtl == IDC_LED_ON;
    if (lpDrawItemStruct->itemAction != ODA_DRAWENTIRE) {
        if (!bIndicator)
            CDialog::OnDrawItem(nIDCtl, lpDrawItemStruct);
        return;
    }
    CBrush brushRed;
    CBrush brushGreen;
    brushRed.CreateSolidBrush(LED_OFF_COLOR);
    brushGreen.CreateSolidBrush(LED_ON_COLOR);
    CDC* pDC = lpDrawItemStruct->hDC;
    CBrush* pOldBrush = nullptr;
    bool bReplaced = false;
    if (nIDCtl == IDC_LED_OFF && m_nSwitchState == 0) {
        pOldBrush = pDC->SelectObject(&brushRed);
        bReplaced = true;
    } else if (nIDCtl == IDC_LED_ON && m_nSwitchState == 1) {
        pOldBrush = pDC->SelectObject(&brushGreen);
        bReplaced = true;
    }
    if (bIndicator) {
        const RECT& rc = lpDrawItemStruct->rcItem;
        pDC->Ellipse(rc.left, rc.top, rc.right, rc.bottom);
        if (bReplaced)
            pDC->SelectObject(pOldBrush);
    } else {
        CDialog::OnDrawItem(nIDCtl, lpDrawItemStruct);
    }
    brushRed.DeleteObject();
    brushGreen.DeleteObject();
}
