// The application: it runs the main dialog modally and ends when the dialog closes.
#pragma once

#include "platform/WinApp.h"

class CMimicboxApp : public CWinApp {
public:
    CMimicboxApp();

    BOOL InitInstance() override;
};

extern CMimicboxApp theApp;
