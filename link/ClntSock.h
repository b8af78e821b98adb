// The client connection to the device server. It hands received data to the dialog, and on the
// server's close lets the dialog forget it and destroys itself.
#pragma once

#include "platform/Socket.h"

class CMimicboxDlg;

class CClntSock : public CSocket {
public:
    // pDlg is not owned and must outlive the object; nothing is opened yet.
    explicit CClntSock(CMimicboxDlg* pDlg);
    ~CClntSock() override;

    int Receive(void* pBuf, int nBufLen, int nFlags = 0) override;
    int Send(const void* pBuf, int nBufLen, int nFlags = 0) override;

    // Notification handlers, public so that tests can deliver a notification the loop would send.
    void OnReceive(int nErrorCode) override;
    void OnSend(int nErrorCode) override;
    void OnOutOfBandData(int nErrorCode) override;
    void OnAccept(int nErrorCode) override;
    void OnConnect(int nErrorCode) override;
    void OnClose(int nErrorCode) override;

protected:
    BOOL OnMessagePending() override;

private:
    CMimicboxDlg* m_pDlg;
};
