// The main dialog: every control, the simulated device's state, the report timer and, while
// connected, the client socket. All of the program's handlers are members of this class.
#pragma once

#include <cstdint>

#include "core/DeviceModel.h"
#include "platform/DataExchange.h"
#include "platform/Dialog.h"

class CClntSock;

// The report timer's id, the program's only timer.
constexpr UINT_PTR ID_REPORT_TIMER = 0x8001;

class CMimicboxDlg : public CDialog {
public:
    explicit CMimicboxDlg(CWnd* pParent = nullptr);
    ~CMimicboxDlg() override;

    const MessageMap* GetMessageMap() const override;

    // Acts on bytes received from the server: pData holds nCount bytes followed by a NUL.
    void OnReceiveData(const char* pData, int nCount);
    // Shows a modal box with the caption "Error" and an OK button; returns once it is dismissed.
    void ShowError(const CString& strText);
    // Forgets the socket object without destroying it; its own close handling destroys it.
    void ClearSocket();

    // The state as the handlers leave it, for tests.
    int StepMode() const { return m_nStepMode; }
    UINT_PTR Timer() const { return m_nTimer; }
    int SwitchState() const { return m_nSwitchState; }
    int DeviceType() const { return m_nDeviceType; }
    int Serial() const { return m_nSerial; }
    float Temperature() const { return m_fTemperature; }
    CClntSock* Socket() const { return m_pSocket; }

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HICON OnQueryDragIcon();
    void OnClickedDown();
    void OnClickedDownFast();
    void OnClickedUp();
    void OnClickedUpFast();
    void SendClientData();
    void OnTimer(UINT_PTR nIDEvent);
    void OnClickedSend();
    void OnClickedLedOn();
    void OnClickedLedOff();
    void OnDrawItem(int nIDCtl, LPDRAWITEMSTRUCT lpDrawItemStruct);
    void OnSelchangeType();
    void OnSelchangeSerial();

    void FillSerialList();
    void ShowStepState();

private:
    void StartReportTimer(UINT nPeriod);
    void StopReportTimer();
    void SendReport();
    void ReleaseSocket();
    void OnClickedStep(CButton& button, int nButtonMode);
    bool ConnectSocket();

    static const MessageMapEntry s_messageEntries[];
    static const MessageMap s_messageMap;

    int m_nStepMode = mimicbox::STEP_NONE;
    UINT_PTR m_nTimer = 0;
    int m_nSwitchState = 0;
    int m_nDeviceType = mimicbox::TYPE_THERMO;
    int m_nSerial = 1;
    CClntSock* m_pSocket = nullptr;
    CStatic m_ctlPicture;
    CStatic m_ctlTempLabel;
    CStatic m_ctlTempUnit;
    CEdit m_ctlTemp;
    CButton m_btnLedOff;
    CButton m_btnConnect;
    CButton m_btnLedOn;
    CComboBox m_cbSerial;
    CComboBox m_cbType;
    CButton m_btnSend;
    CButton m_btnUpFast;
    CButton m_btnUp;
    CButton m_btnDownFast;
    CButton m_btnDown;
    CString m_strServer;
    float m_fTemperature = 0.0f;
    UINT m_nPort = 54741;
    HICON m_hIcon = nullptr;
};
