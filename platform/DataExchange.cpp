#include "platform/DataExchange.h"

#include <string>

#include "platform/Dialog.h"
#include "platform/FrameworkStrings.h"
#include "core/NumberText.h"
#include "platform/WindowHost.h"
#include "platform/WindowSystem.h"

CDataExchange::CDataExchange(CDialog* pDlgWnd, BOOL bSaveAndValidate)
    : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd)
{
}

void CDataExchange::PrepareEditCtrl(int nIDC) { m_idLastControl = nIDC; }

void CDataExchange::Fail(const char* pszMessage)
{
    m_bFailed = true;
    m_pDlgWnd->MessageBox(pszMessage, AfxGetAppName(), MB_OK | MB_ICONEXCLAMATION);
    if (IWindowHost* pHost = m_pDlgWnd->GetHost())
        pHost->SetFocusItem(m_idLastControl, true);
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (!rControl.IsBound())
        pDX->m_pDlgWnd->RegisterControl(nIDC, rControl);
}

namespace {

IWindowHost* HostOf(CDataExchange* pDX) { return pDX->m_pDlgWnd->GetHost(); }

// Writes a field only when its text differs: a write puts the caret back and drops the user's
// selection and undo history, which a write-back on every tick must not do.
void WriteText(CDataExchange* pDX, int nIDC, std::string_view text)
{
    IWindowHost* pHost = HostOf(pDX);
    if (pHost->GetItemText(nIDC) != text)
        pHost->SetItemText(nIDC, text);
}

}  // namespace

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value)
{
    if (!pDX->Active())
        return;
    pDX->PrepareEditCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        value = CString(HostOf(pDX)->GetItemText(nIDC));
    else
        WriteText(pDX, nIDC, value);
}

void DDX_Text(CDataExchange* pDX, int nIDC, float& value)
{
    if (!pDX->Active())
        return;
    pDX->PrepareEditCtrl(nIDC);
    if (!pDX->m_bSaveAndValidate) {
        WriteText(pDX, nIDC, FormatFloatG6(value));
        return;
    }
    if (!ParseFloat(HostOf(pDX)->GetItemText(nIDC), value))
        pDX->Fail(FW_ENTER_NUMBER);
}

void DDX_Text(CDataExchange* pDX, int nIDC, UINT& value)
{
    if (!pDX->Active())
        return;
    pDX->PrepareEditCtrl(nIDC);
    if (!pDX->m_bSaveAndValidate) {
        WriteText(pDX, nIDC, std::to_string(value));
        return;
    }
    if (!ParseUint(HostOf(pDX)->GetItemText(nIDC), value))
        pDX->Fail(FW_ENTER_UNSIGNED);
}

void DDV_MinMaxFloat(CDataExchange* pDX, float const& value, float minVal, float maxVal)
{
    if (!pDX->Active() || !pDX->m_bSaveAndValidate)
        return;
    if (value >= minVal && value <= maxVal)
        return;
    CString message;
    message.Format(FW_ENTER_NUMBER_BETWEEN, FormatFloatG6(minVal).c_str(), FormatFloatG6(maxVal).c_str());
    pDX->Fail(message.GetString());
}
