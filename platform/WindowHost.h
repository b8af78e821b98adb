// The window system as one dialog sees it: its controls by id, focus, timers, boxes and painting.
// An interface so that tests can replace the real window with a recorded one.
#pragma once

#include <string>
#include <string_view>

#include "platform/Types.h"

class CDC;

class IWindowHost {
public:
    virtual ~IWindowHost() = default;

    // Controls. Every call names a control of the dialog's template; an unknown id does nothing and
    // reads as empty, hidden and disabled.
    virtual std::string GetItemText(int nID) const = 0;
    virtual void SetItemText(int nID, std::string_view text) = 0;
    virtual void ShowItem(int nID, bool bShow) = 0;
    virtual bool IsItemVisible(int nID) const = 0;
    virtual void EnableItem(int nID, bool bEnable) = 0;
    virtual bool IsItemEnabled(int nID) const = 0;
    // The pushed-in look of a push button; display only, it never adds or swallows a click.
    virtual void SetItemHighlight(int nID, bool bHighlight) = 0;
    virtual bool GetItemHighlight(int nID) const = 0;

    // Combo-box lists. Changes made here never notify the dialog.
    virtual void ComboResetContent(int nID) = 0;
    virtual int ComboAddString(int nID, std::string_view text) = 0;  // index of the new entry
    virtual int ComboGetCurSel(int nID) const = 0;  // CB_ERR when none is selected
    // Selects entry nIndex (CB_ERR clears the selection) and shows its text in the edit field;
    // returns CB_ERR when nIndex is out of range.
    virtual int ComboSetCurSel(int nID, int nIndex) = 0;

    // Keyboard focus within the dialog: the id of the control that holds it, 0 when none does.
    virtual int GetFocusID() const = 0;
    // Moves the focus to a control; with bSelectAll an edit field's text is selected as well.
    virtual void SetFocusItem(int nID, bool bSelectAll) = 0;

    // Window timers: WM_TIMER with wParam nIDEvent every nElapse ms. Returns nIDEvent, 0 on failure.
    virtual UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse) = 0;
    virtual bool KillTimer(UINT_PTR nIDEvent) = 0;

    // A modal box owned by the dialog; other messages of the dialog keep arriving while it is open.
    virtual int MessageBox(std::string_view text, std::string_view caption, UINT nType) = 0;

    // Repaint of the whole dialog, children included, from the message loop.
    virtual void Invalidate(bool bErase) = 0;

    virtual bool HasSystemMenu() const = 0;
    virtual void AppendSystemMenu(UINT nFlags, UINT_PTR nIDItem, std::string_view text) = 0;
    // The window system's own handling of a system command (move, minimise, close, ...).
    virtual void DefaultSysCommand(UINT nID) = 0;

    virtual void SetIcon(HICON hIcon, bool bBigIcon) = 0;
    virtual bool IsIconic() const = 0;
    virtual RECT GetClientRect() const = 0;

    // The drawing context of the paint under way (WM_PAINT), or null outside a paint. The context
    // stays the host's; EndPaint gives it back.
    virtual CDC* BeginPaint() = 0;
    virtual void EndPaint(CDC* pDC) = 0;
    // The window system's own painting of the dialog.
    virtual void DefaultPaint() = 0;

    // Ends the modal loop with nResult once the current handler returns.
    virtual void EndDialog(int nResult) = 0;
};
