// A modal dialog built from a template: its window comes from the window system, its controls are
// reached through wrappers bound by the data exchange, its messages through its message map.
#pragma once

#include <map>
#include <memory>

#include "platform/Wnd.h"

class CDataExchange;

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    UINT GetTemplateID() const { return m_nIDTemplate; }

    // Runs the dialog until it ends; returns its end code, or -1 when it cannot be created.
    int DoModal();

    // Called by the window system once the window exists: the base performs the first data exchange
    // towards the controls. Returns TRUE to let the focus go to the first control in tab order.
    virtual BOOL OnInitDialog();

    // Runs DoDataExchange; with TRUE it reads and validates the fields and returns FALSE when a field
    // failed, after its message and with the focus moved into it.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    void EndDialog(int nResult);

    // The wrapper of the control that holds the keyboard focus in this dialog: the bound wrapper when
    // there is one, else a wrapper owned by the dialog; null when no control holds the focus.
    CWnd* GetFocus();
    CWnd* GetDlgItem(int nID);

    // The window's system menu, or null when it has none. The menu belongs to the dialog.
    CMenu* GetSystemMenu(BOOL bRevert);
    HICON SetIcon(HICON hIcon, BOOL bBigIcon);
    BOOL IsIconic() const;
    void GetClientRect(RECT* pRect) const;

    int MessageBox(const char* pszText, const char* pszCaption, UINT nType = MB_OK);
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, void* pfnTimer);
    BOOL KillTimer(UINT_PTR nIDEvent);
    void Invalidate(BOOL bErase = TRUE);
    void InvalidateRect(const RECT* pRect, BOOL bErase = TRUE);

    // Used by the window system while it runs the dialog.
    void AttachHost(IWindowHost* pHost);
    void DetachHost();

    // Used by DDX_Control: the wrapper answers for control nID from now on.
    void RegisterControl(int nID, CWnd& control);

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual void OnOK();
    virtual void OnCancel();

    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    void OnDrawItem(int nIDCtl, LPDRAWITEMSTRUCT lpDrawItemStruct);

    LRESULT DefWindowProc(UINT nMessage, WPARAM wParam, LPARAM lParam) override;

private:
    UINT m_nIDTemplate;
    std::map<int, CWnd*> m_boundControls;
    std::map<int, std::unique_ptr<CWnd>> m_tempControls;
    CMenu m_systemMenu;
};
