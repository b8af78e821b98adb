#include "ui/MimicboxApp.h"

#include "ui/MimicboxDlg.h"

CMimicboxApp theApp;

CMimicboxApp::CMimicboxApp() = default;

BOOL CMimicboxApp::InitInstance()
{
    CMimicboxDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
