#include "platform/WinApp.h"

namespace {

CWinApp* g_pApp = nullptr;

}  // namespace

CWinApp::CWinApp() { g_pApp = this; }

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

CWinApp* AfxGetApp() { return g_pApp; }

int AfxWinMain()
{
    CWinApp* pApp = AfxGetApp();
    if (!pApp)
        return 1;
    // The dialog-based application does all its work inside InitInstance and asks to end afterwards.
    pApp->InitInstance();
    return 0;
}
