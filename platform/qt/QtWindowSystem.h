// The real window system, on Qt 6 Widgets: it owns the application object, runs dialogs in QDialog
// windows and watches sockets from the Qt event loop.
#pragma once

#include <memory>
#include <vector>

#include "platform/WindowSystem.h"
#include "platform/qt/QtSocketLoop.h"

class QApplication;
class QtDialogWindow;

class QtWindowSystem : public IWindowSystem, public IClock {
public:
    // Creates the Qt application from the process's arguments; one instance per process.
    QtWindowSystem(int& argc, char** argv);
    ~QtWindowSystem() override;

    int RunModal(CDialog& dlg) override;
    IClock& Clock() override { return *this; }
    ISocketLoop& Sockets() override { return m_sockets; }
    int64_t CalendarSeconds() override;

    // The windows of the dialogs that run now, innermost last; for tests and screenshots.
    const std::vector<QtDialogWindow*>& OpenWindows() const { return m_windows; }

private:
    std::unique_ptr<QApplication> m_pApp;
    QtSocketLoop m_sockets;
    std::vector<QtDialogWindow*> m_windows;
};
