#include "platform/qt/QtWindowSystem.h"

#include <QApplication>
#include <ctime>

#include "platform/Dialog.h"
#include "platform/Resources.h"
#include "platform/qt/QtDialogWindow.h"

QtWindowSystem::QtWindowSystem(int& argc, char** argv) : m_pApp(std::make_unique<QApplication>(argc, argv)) {}

QtWindowSystem::~QtWindowSystem() = default;

int QtWindowSystem::RunModal(CDialog& dlg)
{
    const DialogTemplate* pTemplate = AfxFindDialog(dlg.GetTemplateID());
    if (!pTemplate)
        return -1;
    QWidget* pParent = m_windows.empty() ? nullptr : m_windows.back();
    QtDialogWindow window(dlg, *pTemplate, pParent);
    m_windows.push_back(&window);
    dlg.AttachHost(&window);
    const BOOL bFocusFirst = dlg.OnInitDialog();
    const int nResult = window.RunModalLoop(bFocusFirst != FALSE);
    dlg.DetachHost();
    m_windows.pop_back();
    return nResult;
}

int64_t QtWindowSystem::CalendarSeconds() { return static_cast<int64_t>(std::time(nullptr)); }
