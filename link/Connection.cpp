// The connection as the dialog drives it: Connect, the send of one report, and the error box.
#include <new>

#include "link/ClntSock.h"
#include "link/Record.h"
#include "platform/WindowSystem.h"
#include "ui/MimicboxDlg.h"

using namespace mimicbox;

void CMimicboxDlg::SendClientData()
{
    const BOOL bValid = UpdateData(TRUE);
    if (m_nTimer != 0) {
        StopReportTimer();
        ShowStepState();
    }
    if (!bValid || (!m_pSocket && !ConnectSocket())) {
        m_btnSend.EnableWindow(FALSE);
        return;
    }
    if (m_nDeviceType == TYPE_RELAY)
        StartReportTimer(RELAY_PERIOD_MS);
    m_btnSend.EnableWindow(TRUE);
}

bool CMimicboxDlg::ConnectSocket()
{
    m_pSocket = new (std::nothrow) CClntSock(this);
    if (!m_pSocket) {
        ShowError("SendClientData: Failed to allocate client socket! Close and restart app.\n");
        return false;
    }
    CString strError;
    if (!m_pSocket->Create(0, SOCK_STREAM_TYPE, FD_READ | FD_WRITE | FD_OOB | FD_ACCEPT | FD_CONNECT | FD_CLOSE)) {
        strError.Format("SendClientData: Failed to create client socket: %d! Close and restart app.\n",
                        WSAGetLastError());
        ShowError(strError);
        ReleaseSocket();
        return false;
    }
    if (!m_pSocket->Connect(m_strServer.GetString(), m_nPort)) {
        strError.Format("SendClientData: Failed to connect: %d.\n", WSAGetLastError());
        ShowError(strError);
        ReleaseSocket();
        return false;
    }
    return true;
}

void CMimicboxDlg::SendReport()
{
    const std::string strRecord =
        FormatReport(m_nDeviceType, m_nSerial, AfxTime64(), m_nSwitchState, m_fTemperature);
    // The record goes out with its terminating NUL.
    if (m_pSocket->Send(strRecord.c_str(), static_cast<int>(strRecord.size()) + 1) != SOCKET_ERROR)
        return;
    CString strError;
    strError.Format("SendClientData: Failed to send on client socket: %d\n", WSAGetLastError());
    ShowError(strError);
    ReleaseSocket();
}

void CMimicboxDlg::ReleaseSocket()
{
    // A nested handler may have released the socket while a box was open.
    if (!m_pSocket)
        return;
    m_pSocket->Close();
    delete m_pSocket;
    m_pSocket = nullptr;
}

void CMimicboxDlg::ShowError(const CString& strText) { MessageBox(strText.GetString(), "Error", MB_OK); }

void CMimicboxDlg::ClearSocket() { m_pSocket = nullptr; }
