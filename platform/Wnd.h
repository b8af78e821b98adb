// Window and control wrappers. A wrapper is bound to one control of a dialog's window (or, for a
// dialog, to the window itself) and forwards to that window's host; an unbound wrapper does nothing.
#pragma once

#include <string>
#include <string_view>

#include "platform/CString.h"
#include "platform/MessageMap.h"
#include "platform/Types.h"

class IWindowHost;

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // Binds the wrapper to control nID of the window behind pHost (0 for the window itself).
    void Attach(IWindowHost* pHost, int nID);
    void Detach();
    bool IsBound() const { return m_pHost != nullptr; }
    IWindowHost* GetHost() const { return m_pHost; }

    BOOL ShowWindow(int nCmdShow);
    BOOL EnableWindow(BOOL bEnable = TRUE);

    // Dispatches a message through the class's message map, or to the default handling when no entry
    // takes it.
    LRESULT SendMessage(UINT nMessage, WPARAM wParam = 0, LPARAM lParam = 0);

    virtual const MessageMap* GetMessageMap() const;

protected:
    // What a message gets when no map entry handles it.
    virtual LRESULT DefWindowProc(UINT nMessage, WPARAM wParam, LPARAM lParam);

    // The base handling that handlers pass messages on to.
    void OnTimer(UINT_PTR nIDEvent);

    IWindowHost* m_pHost = nullptr;
    int m_nID = 0;
};

class CStatic : public CWnd {};

class CEdit : public CWnd {};

class CButton : public CWnd {
public:
    // BM_SETSTATE: the pushed-in look, display only.
    void SetState(BOOL bHighlight);
};

class CComboBox : public CWnd {
public:
    void ResetContent();
    int AddString(std::string_view text);
    int GetCurSel() const;
    int SetCurSel(int nSelect);
};

// The system menu of a dialog window.
class CMenu {
public:
    void Attach(IWindowHost* pHost) { m_pHost = pHost; }
    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, const char* pszNewItem = nullptr);

private:
    IWindowHost* m_pHost = nullptr;
};
