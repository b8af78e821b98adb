#include "platform/Wnd.h"

#include "platform/WindowHost.h"

const MessageMapEntry* FindMessageEntry(const MessageMap* pMap, UINT nMessage, WPARAM wParam)
{
    for (; pMap; pMap = pMap->pBaseMap) {
        for (const MessageMapEntry& entry : pMap->entries) {
            if (entry.nMessage != nMessage)
                continue;
            if (nMessage != WM_COMMAND)
                return &entry;
            if (entry.nCode == HIWORD(wParam) && entry.nID == static_cast<int>(LOWORD(wParam)))
                return &entry;
        }
    }
    return nullptr;
}

void CWnd::Attach(IWindowHost* pHost, int nID)
{
    m_pHost = pHost;
    m_nID = nID;
}

void CWnd::Detach()
{
    m_pHost = nullptr;
    m_nID = 0;
}

BOOL CWnd::ShowWindow(int nCmdShow)
{
    if (!m_pHost)
        return FALSE;
    const BOOL bWasVisible = m_pHost->IsItemVisible(m_nID);
    m_pHost->ShowItem(m_nID, nCmdShow != SW_HIDE);
    return bWasVisible;
}

BOOL CWnd::EnableWindow(BOOL bEnable)
{
    if (!m_pHost)
        return FALSE;
    const BOOL bWasDisabled = !m_pHost->IsItemEnabled(m_nID);
    m_pHost->EnableItem(m_nID, bEnable != FALSE);
    return bWasDisabled;
}

LRESULT CWnd::SendMessage(UINT nMessage, WPARAM wParam, LPARAM lParam)
{
    if (const MessageMapEntry* pEntry = FindMessageEntry(GetMessageMap(), nMessage, wParam))
        return pEntry->pfnThunk(*this, wParam, lParam);
    return DefWindowProc(nMessage, wParam, lParam);
}

const MessageMap* CWnd::GetMessageMap() const { return nullptr; }

LRESULT CWnd::DefWindowProc(UINT, WPARAM, LPARAM) { return 0; }

void CWnd::OnTimer(UINT_PTR nIDEvent) { DefWindowProc(WM_TIMER, nIDEvent, 0); }

void CButton::SetState(BOOL bHighlight)
{
    if (m_pHost)
        m_pHost->SetItemHighlight(m_nID, bHighlight != FALSE);
}

void CComboBox::ResetContent()
{
    if (m_pHost)
        m_pHost->ComboResetContent(m_nID);
}

int CComboBox::AddString(std::string_view text)
{
    return m_pHost ? m_pHost->ComboAddString(m_nID, text) : CB_ERR;
}

int CComboBox::GetCurSel() const { return m_pHost ? m_pHost->ComboGetCurSel(m_nID) : CB_ERR; }

int CComboBox::SetCurSel(int nSelect) { return m_pHost ? m_pHost->ComboSetCurSel(m_nID, nSelect) : CB_ERR; }


BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, const char* pszNewItem)
{
    if (!m_pHost)
        return FALSE;
    m_pHost->AppendSystemMenu(nFlags, nIDNewItem, pszNewItem ? pszNewItem : "");
    return TRUE;
}
