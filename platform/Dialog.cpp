#include "platform/Dialog.h"

#include "platform/DataExchange.h"
#include "platform/Gdi.h"
#include "platform/WindowHost.h"
#include "platform/WindowSystem.h"

CDialog::CDialog(UINT nIDTemplate, CWnd*) : m_nIDTemplate(nIDTemplate) {}

CDialog::~CDialog() = default;

int CDialog::DoModal()
{
    IWindowSystem* pSystem = AfxGetWindowSystem();
    return pSystem ? pSystem->RunModal(*this) : -1;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    if (!m_pHost)
        return FALSE;
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return dx.Failed() ? FALSE : TRUE;
}

void CDialog::EndDialog(int nResult)
{
    if (m_pHost)
        m_pHost->EndDialog(nResult);
}

CWnd* CDialog::GetFocus()
{
    if (!m_pHost)
        return nullptr;
    const int nID = m_pHost->GetFocusID();
    return nID == 0 ? nullptr : GetDlgItem(nID);
}

CWnd* CDialog::GetDlgItem(int nID)
{
    if (auto bound = m_boundControls.find(nID); bound != m_boundControls.end())
        return bound->second;
    std::unique_ptr<CWnd>& pTemp = m_tempControls[nID];
    if (!pTemp) {
        pTemp = std::make_unique<CWnd>();
        pTemp->Attach(m_pHost, nID);
    }
    return pTemp.get();
}

CMenu* CDialog::GetSystemMenu(BOOL)
{
    if (!m_pHost || !m_pHost->HasSystemMenu())
        return nullptr;
    m_systemMenu.Attach(m_pHost);
    return &m_systemMenu;
}

HICON CDialog::SetIcon(HICON hIcon, BOOL bBigIcon)
{
    if (m_pHost)
        m_pHost->SetIcon(hIcon, bBigIcon != FALSE);
    return nullptr;
}

BOOL CDialog::IsIconic() const { return m_pHost && m_pHost->IsIconic(); }

void CDialog::GetClientRect(RECT* pRect) const { *pRect = m_pHost ? m_pHost->GetClientRect() : RECT{}; }

int CDialog::MessageBox(const char* pszText, const char* pszCaption, UINT nType)
{
    if (!m_pHost)
        return IDCANCEL;
    return m_pHost->MessageBox(pszText ? pszText : "", pszCaption ? pszCaption : AfxGetAppName(), nType);
}

UINT_PTR CDialog::SetTimer(UINT_PTR nIDEvent, UINT nElapse, void*)
{
    return m_pHost ? m_pHost->SetTimer(nIDEvent, nElapse) : 0;
}

BOOL CDialog::KillTimer(UINT_PTR nIDEvent) { return m_pHost && m_pHost->KillTimer(nIDEvent); }

void CDialog::Invalidate(BOOL bErase)
{
    if (m_pHost)
        m_pHost->Invalidate(bErase != FALSE);
}

void CDialog::InvalidateRect(const RECT*, BOOL bErase) { Invalidate(bErase); }

void CDialog::AttachHost(IWindowHost* pHost) { Attach(pHost, 0); }

void CDialog::DetachHost()
{
    for (auto& [nID, pControl] : m_boundControls)
        pControl->Detach();
    m_boundControls.clear();
    m_tempControls.clear();
    m_systemMenu.Attach(nullptr);
    Detach();
}

void CDialog::RegisterControl(int nID, CWnd& control)
{
    control.Attach(m_pHost, nID);
    m_boundControls[nID] = &control;
}

void CDialog::DoDataExchange(CDataExchange*) {}

void CDialog::OnOK()
{
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::OnSysCommand(UINT nID, LPARAM lParam) { DefWindowProc(WM_SYSCOMMAND, nID, lParam); }

void CDialog::OnPaint() { DefWindowProc(WM_PAINT, 0, 0); }

void CDialog::OnDrawItem(int nIDCtl, LPDRAWITEMSTRUCT lpDrawItemStruct)
{
    DefWindowProc(WM_DRAWITEM, static_cast<WPARAM>(nIDCtl), reinterpret_cast<LPARAM>(lpDrawItemStruct));
}

LRESULT CDialog::DefWindowProc(UINT nMessage, WPARAM wParam, LPARAM lParam)
{
    if (nMessage == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IDOK)
            OnOK();
        else if (LOWORD(wParam) == IDCANCEL)
            OnCancel();
        return 0;
    }
    if (nMessage == WM_PAINT) {
        if (m_pHost)
            m_pHost->DefaultPaint();
        return 0;
    }
    if (nMessage == WM_ICONERASEBKGND) {
        if (CDC* pDC = reinterpret_cast<CDC*>(wParam))
            pDC->EraseBackground(m_pHost ? m_pHost->GetClientRect() : RECT{});
        return 0;
    }
    if (nMessage == WM_SYSCOMMAND) {
        if (m_pHost)
            m_pHost->DefaultSysCommand(static_cast<UINT>(wParam));
        return 0;
    }
    return CWnd::DefWindowProc(nMessage, wParam, lParam);
}
