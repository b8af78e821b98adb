// The process-wide window system: it creates dialog windows and runs their modal loops.
// An interface so that tests can run dialogs on a recorded window system with a manual clock.
#pragma once

#include <string_view>

#include "platform/Clock.h"
#include "platform/SocketLoop.h"
#include "platform/Types.h"

class CDialog;

class IWindowSystem {
public:
    virtual ~IWindowSystem() = default;

    // Creates the window of `dlg` from its template, attaches it, runs OnInitDialog and dispatches
    // messages until EndDialog; detaches and destroys the window. Returns the end code, or -1 when the
    // template is missing.
    virtual int RunModal(CDialog& dlg) = 0;

    virtual IClock& Clock() = 0;
    virtual ISocketLoop& Sockets() = 0;
};

// The window system in use; set once by the program or the test before any dialog runs.
IWindowSystem* AfxGetWindowSystem();
void AfxSetWindowSystem(IWindowSystem* pSystem);

// Seconds since 1970 from the window system's clock; the stand-in for _time64.
int64_t AfxTime64();

// The application's name, the caption of the framework's own message boxes.
const char* AfxGetAppName();
