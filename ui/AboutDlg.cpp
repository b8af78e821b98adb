#include "ui/AboutDlg.h"

#include "ui/res/Resource.h"

const MessageMap CAboutDlg::s_messageMap = {nullptr, {}};

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

const MessageMap* CAboutDlg::GetMessageMap() const { return &s_messageMap; }

void CAboutDlg::DoDataExchange(CDataExchange* pDX) { CDialog::DoDataExchange(pDX); }
