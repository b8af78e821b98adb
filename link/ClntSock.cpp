#include "link/ClntSock.h"

#include "link/IncomingRecords.h"
#include "ui/MimicboxDlg.h"

CClntSock::CClntSock(CMimicboxDlg* pDlg) : m_pDlg(pDlg) {}

CClntSock::~CClntSock() = default;

int CClntSock::Receive(void* pBuf, int nBufLen, int nFlags) { return CSocket::Receive(pBuf, nBufLen, nFlags); }

int CClntSock::Send(const void* pBuf, int nBufLen, int nFlags) { return CSocket::Send(pBuf, nBufLen, nFlags); }

void CClntSock::OnReceive(int nErrorCode)
{
    // A nested handler may destroy this object while an error box is open.
    const auto pAlive = AliveToken();
    char buffer[mimicbox::RECEIVE_BUFFER_SIZE];
    const int nRead = Receive(buffer, mimicbox::RECEIVE_BUFFER_SIZE - 1);
    if (nRead == SOCKET_ERROR) {
        CString strError;
        strError.Format("CClntSock::OnReceive: Error number is %d\n", WSAGetLastError());
        m_pDlg->ShowError(strError);
    } else if (nRead == 0) {
        Close();
    } else {
        buffer[nRead] = '\0';
        m_pDlg->OnReceiveData(buffer, nRead);
    }
    if (*pAlive)
        CSocket::OnReceive(nErrorCode);
}

void CClntSock::OnSend(int nErrorCode) { CSocket::OnSend(nErrorCode); }

void CClntSock::OnOutOfBandData(int nErrorCode) { CSocket::OnOutOfBandData(nErrorCode); }

void CClntSock::OnAccept(int nErrorCode) { CSocket::OnAccept(nErrorCode); }

void CClntSock::OnConnect(int nErrorCode)
{
    const auto pAlive = AliveToken();
    if (nErrorCode != 0) {
        CString strError;
        strError.Format("CClntSock::OnConnect error: %d\n", nErrorCode);
        m_pDlg->ShowError(strError);
    }
    if (*pAlive)
        CSocket::OnConnect(nErrorCode);
}

void CClntSock::OnClose(int nErrorCode)
{
    m_pDlg->ClearSocket();
    CSocket::OnClose(nErrorCode);
    delete this;
}

BOOL CClntSock::OnMessagePending() { return CSocket::OnMessagePending(); }
