// The application object: one static instance, started by AfxWinMain once the window system is set.
#pragma once

#include "platform/Types.h"

class CWnd;

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Runs the application's start-up; FALSE ends the application afterwards instead of entering a
    // message loop of the framework's own.
    virtual BOOL InitInstance();

    CWnd* m_pMainWnd = nullptr;
};

// The one application object, or null before it is constructed.
CWinApp* AfxGetApp();

// Starts the application object; returns the process's exit code.
int AfxWinMain();
