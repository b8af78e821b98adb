#include "platform/fake/FakeWindowHost.h"

#include <algorithm>

#include "platform/Dialog.h"
#include "platform/Gdi.h"
#include "platform/fake/FakeWindowSystem.h"

namespace {

// The shortest timer period the window system honours.
constexpr UINT MIN_TIMER_PERIOD_MS = 10;

}  // namespace

FakeWindowHost::FakeWindowHost(FakeWindowSystem& system, CDialog& dlg, const DialogTemplate& dialogTemplate)
    : m_system(system), m_dlg(dlg), m_template(dialogTemplate)
{
    for (const ControlTemplate& control : dialogTemplate.controls) {
        if (control.nID == IDC_STATIC)
            continue;
        FakeControl& state = m_controls[control.nID];
        state.pTemplate = &control;
        if (control.eClass != ControlClass::ComboBox)
            state.strText = control.pszCaption;
    }
    for (const auto& [nID, pszText] : dialogTemplate.initialComboEntries)
        ComboAddString(nID, pszText);
}

bool FakeWindowHost::Click(int nID)
{
    if (!IsUsable(nID))
        return false;
    m_nFocusID = nID;
    Notify(nID, BN_CLICKED);
    return true;
}

bool FakeWindowHost::PressSpace()
{
    if (!IsUsable(m_nFocusID) || Control(m_nFocusID)->pTemplate->eClass != ControlClass::Button)
        return false;
    Notify(m_nFocusID, BN_CLICKED);
    return true;
}

void FakeWindowHost::PressEnter()
{
    if (IsPushButton(m_nFocusID) && IsUsable(m_nFocusID)) {
        Notify(m_nFocusID, BN_CLICKED);
        return;
    }
    for (const ControlTemplate& control : m_template.controls) {
        if ((control.nStyle & ControlStyle::DefPushButton) && IsUsable(control.nID)) {
            Notify(control.nID, BN_CLICKED);
            return;
        }
    }
}

void FakeWindowHost::PressEscape() { Notify(IDCANCEL, BN_CLICKED); }

void FakeWindowHost::TypeText(int nID, const std::string& text)
{
    if (FakeControl* pControl = Find(nID); pControl && IsUsable(nID)) {
        m_nFocusID = nID;
        pControl->strText = text;
    }
}

bool FakeWindowHost::ChooseEntry(int nID, int nIndex)
{
    FakeControl* pControl = Find(nID);
    if (!pControl || !IsUsable(nID) || nIndex < 0 || nIndex >= static_cast<int>(pControl->entries.size()))
        return false;
    m_nFocusID = nID;
    const bool bChanged = pControl->nCurSel != nIndex;
    ComboSetCurSel(nID, nIndex);
    if (bChanged)
        Notify(nID, CBN_SELCHANGE);
    return bChanged;
}

void FakeWindowHost::SystemCommand(UINT nID) { m_dlg.SendMessage(WM_SYSCOMMAND, nID, 0); }

void FakeWindowHost::DrawItem(int nID, UINT nItemAction, CDC& dc)
{
    const FakeControl* pControl = Control(nID);
    if (!pControl)
        return;
    const ControlTemplate& t = *pControl->pTemplate;
    DRAWITEMSTRUCT dis;
    dis.CtlID = static_cast<UINT>(nID);
    dis.itemAction = nItemAction;
    dis.hDC = &dc;
    dis.rcItem = RECT{0, 0, t.cx, t.cy};
    m_dlg.SendMessage(WM_DRAWITEM, static_cast<WPARAM>(nID), reinterpret_cast<LPARAM>(&dis));
}

const FakeDC& FakeWindowHost::Paint()
{
    m_paintDC = FakeDC();
    m_bPainting = true;
    m_dlg.SendMessage(WM_PAINT, 0, 0);
    m_bPainting = false;
    return m_paintDC;
}

void FakeWindowHost::Notify(int nID, UINT nCode)
{
    m_dlg.SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<unsigned>(nID), nCode), 0);
}

const FakeControl* FakeWindowHost::Control(int nID) const
{
    auto it = m_controls.find(nID);
    return it == m_controls.end() ? nullptr : &it->second;
}

UINT FakeWindowHost::TimerPeriod(UINT_PTR nIDEvent) const
{
    auto it = m_timers.find(nIDEvent);
    return it == m_timers.end() ? 0 : it->second.nPeriod;
}

std::vector<int> FakeWindowHost::TabOrder() const
{
    std::vector<int> order;
    for (const ControlTemplate& control : m_template.controls)
        if ((control.nStyle & ControlStyle::TabStop) && IsUsable(control.nID))
            order.push_back(control.nID);
    return order;
}

std::string FakeWindowHost::GetItemText(int nID) const
{
    const FakeControl* pControl = Control(nID);
    return pControl ? pControl->strText : std::string();
}

void FakeWindowHost::SetItemText(int nID, std::string_view text)
{
    if (FakeControl* pControl = Find(nID)) {
        pControl->strText = text;
        ++pControl->nTextWrites;
    }
}

void FakeWindowHost::ShowItem(int nID, bool bShow)
{
    if (FakeControl* pControl = Find(nID))
        pControl->bVisible = bShow;
}

bool FakeWindowHost::IsItemVisible(int nID) const
{
    const FakeControl* pControl = Control(nID);
    return pControl && pControl->bVisible;
}

void FakeWindowHost::EnableItem(int nID, bool bEnable)
{
    if (FakeControl* pControl = Find(nID))
        pControl->bEnabled = bEnable;
}

bool FakeWindowHost::IsItemEnabled(int nID) const
{
    const FakeControl* pControl = Control(nID);
    return pControl && pControl->bEnabled;
}

void FakeWindowHost::SetItemHighlight(int nID, bool bHighlight)
{
    if (FakeControl* pControl = Find(nID))
        pControl->bHighlight = bHighlight;
}

bool FakeWindowHost::GetItemHighlight(int nID) const
{
    const FakeControl* pControl = Control(nID);
    return pControl && pControl->bHighlight;
}

void FakeWindowHost::ComboResetContent(int nID)
{
    if (FakeControl* pControl = Find(nID)) {
        pControl->entries.clear();
        pControl->nCurSel = CB_ERR;
    }
}

int FakeWindowHost::ComboAddString(int nID, std::string_view text)
{
    FakeControl* pControl = Find(nID);
    if (!pControl)
        return CB_ERR;
    pControl->entries.emplace_back(text);
    return static_cast<int>(pControl->entries.size()) - 1;
}

int FakeWindowHost::ComboGetCount(int nID) const
{
    const FakeControl* pControl = Control(nID);
    return pControl ? static_cast<int>(pControl->entries.size()) : 0;
}

std::string FakeWindowHost::ComboGetText(int nID, int nIndex) const
{
    const FakeControl* pControl = Control(nID);
    if (!pControl || nIndex < 0 || nIndex >= static_cast<int>(pControl->entries.size()))
        return {};
    return pControl->entries[static_cast<std::size_t>(nIndex)];
}

int FakeWindowHost::ComboGetCurSel(int nID) const
{
    const FakeControl* pControl = Control(nID);
    return pControl ? pControl->nCurSel : CB_ERR;
}

int FakeWindowHost::ComboSetCurSel(int nID, int nIndex)
{
    FakeControl* pControl = Find(nID);
    if (!pControl)
        return CB_ERR;
    if (nIndex < 0 || nIndex >= static_cast<int>(pControl->entries.size())) {
        pControl->nCurSel = CB_ERR;
        return CB_ERR;
    }
    pControl->nCurSel = nIndex;
    pControl->strText = pControl->entries[static_cast<std::size_t>(nIndex)];
    return nIndex;
}

void FakeWindowHost::SetFocusItem(int nID, bool)
{
    if (Control(nID))
        m_nFocusID = nID;
}

UINT_PTR FakeWindowHost::SetTimer(UINT_PTR nIDEvent, UINT nElapse)
{
    if (nIDEvent == 0)
        return 0;
    const UINT nPeriod = std::max(nElapse, MIN_TIMER_PERIOD_MS);
    m_timers[nIDEvent] = Timer{nPeriod, m_system.NowMs() + nPeriod};
    return nIDEvent;
}

bool FakeWindowHost::KillTimer(UINT_PTR nIDEvent) { return m_timers.erase(nIDEvent) != 0; }

int FakeWindowHost::MessageBox(std::string_view text, std::string_view caption, UINT nType)
{
    return m_system.ShowBox(text, caption, nType);
}

void FakeWindowHost::Invalidate(bool) { ++m_nInvalidateCount; }

void FakeWindowHost::AppendSystemMenu(UINT nFlags, UINT_PTR nIDItem, std::string_view text)
{
    m_systemMenu.push_back({nFlags, nIDItem, std::string(text)});
}

void FakeWindowHost::DefaultSysCommand(UINT nID)
{
    if ((nID & 0xFFF0) == SC_CLOSE)
        Notify(IDCANCEL, BN_CLICKED);
    else if ((nID & 0xFFF0) == SC_MINIMIZE)
        m_bIconic = true;
    else if ((nID & 0xFFF0) == SC_RESTORE)
        m_bIconic = false;
}

void FakeWindowHost::SetIcon(HICON hIcon, bool bBigIcon) { (bBigIcon ? m_hBigIcon : m_hSmallIcon) = hIcon; }

RECT FakeWindowHost::GetClientRect() const { return RECT{0, 0, m_template.cx, m_template.cy}; }

void FakeWindowHost::EndDialog(int nResult)
{
    if (m_bEnded)
        return;
    m_bEnded = true;
    m_nEndCode = nResult;
}

FakeControl* FakeWindowHost::Find(int nID)
{
    auto it = m_controls.find(nID);
    return it == m_controls.end() ? nullptr : &it->second;
}

bool FakeWindowHost::IsUsable(int nID) const
{
    const FakeControl* pControl = Control(nID);
    return pControl && pControl->bVisible && pControl->bEnabled;
}

bool FakeWindowHost::IsPushButton(int nID) const
{
    const FakeControl* pControl = Control(nID);
    return pControl && pControl->pTemplate->eClass == ControlClass::Button &&
           (pControl->pTemplate->nStyle & (ControlStyle::PushButton | ControlStyle::DefPushButton));
}
