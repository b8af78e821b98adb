// The About box: the icon, the version line and OK.
#pragma once

#include "platform/Dialog.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();

    const MessageMap* GetMessageMap() const override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;

private:
    static const MessageMap s_messageMap;
};
