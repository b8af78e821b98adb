// The real window of one dialog: a QDialog built from the dialog's template, whose controls and
// events are translated to and from the dialog's messages.
#pragma once

#include <QDialog>
#include <QPainter>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Resources.h"
#include "platform/WindowHost.h"
#include "platform/qt/DialogUnits.h"

class CDialog;
class QComboBox;
class QMenu;
class QTimer;

class QtDialogWindow : public QDialog, public IWindowHost {
    Q_OBJECT

public:
    QtDialogWindow(CDialog& dlg, const DialogTemplate& dialogTemplate, QWidget* parent);
    ~QtDialogWindow() override;

    // Shows the window, gives the focus to the first control in tab order when bFocusFirst, and runs
    // the modal loop until EndDialog. Returns the end code.
    int RunModalLoop(bool bFocusFirst);
    bool Ended() const { return m_bEnded; }
    const DialogUnits& Units() const { return m_units; }
    // Puts the system menu's entries into `menu`: the window system's own, then those appended.
    void FillSystemMenu(QMenu& menu);

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
    int GetFocusID() const override;
    void SetFocusItem(int nID, bool bSelectAll) override;
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse) override;
    bool KillTimer(UINT_PTR nIDEvent) override;
    int MessageBox(std::string_view text, std::string_view caption, UINT nType) override;
    void Invalidate(bool bErase) override;
    bool HasSystemMenu() const override { return true; }
    void AppendSystemMenu(UINT nFlags, UINT_PTR nIDItem, std::string_view text) override;
    void DefaultSysCommand(UINT nID) override;
    void SetIcon(HICON hIcon, bool bBigIcon) override;
    bool IsIconic() const override { return isMinimized(); }
    RECT GetClientRect() const override;
    CDC* BeginPaint() override;
    void EndPaint(CDC* pDC) override;
    void DefaultPaint() override;
    void EndDialog(int nResult) override;

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    struct MenuItem {
        UINT nFlags;
        UINT_PTR nID;
        QString text;
    };

    void CreateControl(const ControlTemplate& control);
    QWidget* CreateButton(const ControlTemplate& control);
    QWidget* CreateStatic(const ControlTemplate& control);
    QWidget* CreateComboBox(const ControlTemplate& control);
    QWidget* Item(int nID) const;
    QComboBox* Combo(int nID) const;
    void SendCommand(int nID, UINT nCode);
    void OnComboActivated(int nID, int nIndex);
    void ShowSystemMenu(const QPoint& globalPos);

    CDialog& m_dlg;
    const DialogTemplate& m_template;
    DialogUnits m_units;
    std::map<int, QWidget*> m_items;
    std::map<int, int> m_comboSelections;
    std::map<UINT_PTR, QTimer*> m_timers;
    std::vector<MenuItem> m_systemMenu;
    QPaintEvent* m_pPaintEvent = nullptr;
    std::unique_ptr<QPainter> m_pPainter;
    std::unique_ptr<CDC> m_pPaintDC;
    bool m_bEnded = false;
    int m_nEndCode = IDCANCEL;
};
