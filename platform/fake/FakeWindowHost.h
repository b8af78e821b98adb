// A recorded dialog window for tests: every control's state is inspectable, the focus is settable and
// user actions (clicks, typing, list choices) are simulated by calls.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/Resources.h"
#include "platform/WindowHost.h"
#include "platform/fake/FakeDC.h"

class CDialog;
class FakeWindowSystem;

struct FakeControl {
    const ControlTemplate* pTemplate = nullptr;
    std::string strText;
    int nTextWrites = 0;  // SetItemText calls, so tests can see needless writes
    bool bVisible = true;
    bool bEnabled = true;
    bool bHighlight = false;
    std::vector<std::string> entries;  // combo boxes
    int nCurSel = CB_ERR;
};

struct FakeMenuItem {
    UINT nFlags;
    UINT_PTR nID;
    std::string strText;
};

class FakeWindowHost : public IWindowHost {
public:
    FakeWindowHost(FakeWindowSystem& system, CDialog& dlg, const DialogTemplate& dialogTemplate);

    // User actions. Each acts only on a visible, enabled control, as the real window does.
    // A mouse click: the button takes the focus, then reports the click.
    bool Click(int nID);
    // Space on the focused button.
    bool PressSpace();
    // Enter: clicks the focused push button, else the default button.
    void PressEnter();
    // Escape: cancels the dialog.
    void PressEscape();
    // Replaces a field's text, as typing into it would.
    void TypeText(int nID, const std::string& text);
    // The user picks entry nIndex of a list: it changes the selection and notifies the dialog.
    bool ChooseEntry(int nID, int nIndex);
    void SystemCommand(UINT nID);
    // Draws an owner-drawn control into `dc` as the window would after an invalidation.
    void DrawItem(int nID, UINT nItemAction, CDC& dc);
    // A paint of the whole window as the window system would ask for it; returns what was drawn.
    const FakeDC& Paint();
    // A message sent without any user action behind it (a click notification without the focus, say).
    void Notify(int nID, UINT nCode);

    const FakeControl* Control(int nID) const;
    int ComboGetCount(int nID) const;
    std::string ComboGetText(int nID, int nIndex) const;
    const std::vector<FakeMenuItem>& SystemMenu() const { return m_systemMenu; }
    int InvalidateCount() const { return m_nInvalidateCount; }
    bool Ended() const { return m_bEnded; }
    int EndCode() const { return m_nEndCode; }
    HICON Icon(bool bBig) const { return bBig ? m_hBigIcon : m_hSmallIcon; }
    void SetIconic(bool bIconic) { m_bIconic = bIconic; }
    bool HasTimer(UINT_PTR nIDEvent) const { return m_timers.count(nIDEvent) != 0; }
    UINT TimerPeriod(UINT_PTR nIDEvent) const;

    // The tab order: the ids of the controls that Tab visits, starting at the first.
    std::vector<int> TabOrder() const;

    // Timers, driven by the system's manual clock.
    struct Timer {
        UINT nPeriod;
        int64_t nDueMs;
    };
    std::map<UINT_PTR, Timer>& Timers() { return m_timers; }
    CDialog& Dialog() { return m_dlg; }

    // IWindowHost
    std::string GetItemText(int nID) const override;
    void SetItemText(int nID, std::string_view text) override;
    void ShowItem(int nID, bool bShow) override;
    bool IsItemVisible(int nID) const override;
    void EnableItem(int nID, bool bEnable) override;
    bool IsItemEnabled(int nID) const override;
    void SetItemHighlight(int nID, bool bHighlight) override;
    bool GetItemHighlight(int nID) const override;
    void ComboResetContent(int nID) override;
    int ComboAddString(int nID, std::string_view text) override;
    int ComboGetCurSel(int nID) const override;
    int ComboSetCurSel(int nID, int nIndex) override;
    int GetFocusID() const override { return m_nFocusID; }
    void SetFocusItem(int nID, bool bSelectAll) override;
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse) override;
    bool KillTimer(UINT_PTR nIDEvent) override;
    int MessageBox(std::string_view text, std::string_view caption, UINT nType) override;
    void Invalidate(bool bErase) override;
    bool HasSystemMenu() const override { return true; }
    void AppendSystemMenu(UINT nFlags, UINT_PTR nIDItem, std::string_view text) override;
    void DefaultSysCommand(UINT nID) override;
    void SetIcon(HICON hIcon, bool bBigIcon) override;
    bool IsIconic() const override { return m_bIconic; }
    RECT GetClientRect() const override;
    CDC* BeginPaint() override { return m_bPainting ? &m_paintDC : nullptr; }
    void EndPaint(CDC*) override {}
    void DefaultPaint() override { ++m_nDefaultPaints; }
    int DefaultPaintCount() const { return m_nDefaultPaints; }
    void EndDialog(int nResult) override;

private:
    FakeControl* Find(int nID);
    bool IsUsable(int nID) const;
    bool IsPushButton(int nID) const;

    FakeWindowSystem& m_system;
    CDialog& m_dlg;
    const DialogTemplate& m_template;
    std::map<int, FakeControl> m_controls;
    std::map<UINT_PTR, Timer> m_timers;
    std::vector<FakeMenuItem> m_systemMenu;
    int m_nFocusID = 0;
    int m_nInvalidateCount = 0;
    bool m_bEnded = false;
    int m_nEndCode = 0;
    bool m_bIconic = false;
    HICON m_hBigIcon = nullptr;
    HICON m_hSmallIcon = nullptr;
    FakeDC m_paintDC;
    bool m_bPainting = false;
    int m_nDefaultPaints = 0;
};
