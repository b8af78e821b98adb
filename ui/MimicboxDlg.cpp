#include "ui/MimicboxDlg.h"

#include "link/ClntSock.h"
#include "platform/Gdi.h"
#include "platform/Resources.h"
#include "platform/Socket.h"
#include "ui/AboutDlg.h"
#include "ui/res/Resource.h"

using namespace mimicbox;

const MessageMapEntry CMimicboxDlg::s_messageEntries[] = {
    MapMessage<WM_SYSCOMMAND, &CMimicboxDlg::OnSysCommand>(),
    MapMessage<WM_PAINT, &CMimicboxDlg::OnPaint>(),
    MapMessage<WM_QUERYDRAGICON, &CMimicboxDlg::OnQueryDragIcon>(),
    MapCommand<BN_CLICKED, &CMimicboxDlg::OnClickedDown>(IDC_DOWN),
    MapCommand<BN_CLICKED, &CMimicboxDlg::OnClickedDownFast>(IDC_DOWN_FAST),
    MapCommand<BN_CLICKED, &CMimicboxDlg::OnClickedUp>(IDC_UP),
    MapCommand<BN_CLICKED, &CMimicboxDlg::OnClickedUpFast>(IDC_UP_FAST),
    MapCommand<BN_CLICKED, &CMimicboxDlg::SendClientData>(IDC_CONNECT),
    MapMessage<WM_TIMER, &CMimicboxDlg::OnTimer>(),
    MapCommand<BN_CLICKED, &CMimicboxDlg::OnClickedSend>(IDC_SEND),
    MapCommand<BN_CLICKED, &CMimicboxDlg::OnClickedLedOn>(IDC_LED_ON),
    MapCommand<BN_CLICKED, &CMimicboxDlg::OnClickedLedOff>(IDC_LED_OFF),
    MapMessage<WM_DRAWITEM, &CMimicboxDlg::OnDrawItem>(),
    MapCommand<CBN_SELCHANGE, &CMimicboxDlg::OnSelchangeType>(IDC_TYPE),
    MapCommand<CBN_SELCHANGE, &CMimicboxDlg::OnSelchangeSerial>(IDC_SERIAL),
};

const MessageMap CMimicboxDlg::s_messageMap = {nullptr, s_messageEntries};

CMimicboxDlg::CMimicboxDlg(CWnd* pParent) : CDialog(IDD_MAIN, pParent), m_hIcon(AfxLoadIcon(IDR_MAINFRAME)) {}

CMimicboxDlg::~CMimicboxDlg() { delete m_pSocket; }

const MessageMap* CMimicboxDlg::GetMessageMap() const { return &s_messageMap; }

void CMimicboxDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PICTURE, m_ctlPicture);
    DDX_Control(pDX, IDC_TEMP_LABEL, m_ctlTempLabel);
    DDX_Control(pDX, IDC_TEMP_UNIT, m_ctlTempUnit);
    DDX_Control(pDX, IDC_TEMP, m_ctlTemp);
    DDX_Control(pDX, IDC_LED_OFF, m_btnLedOff);
    DDX_Control(pDX, IDC_CONNECT, m_btnConnect);
    DDX_Control(pDX, IDC_LED_ON, m_btnLedOn);
    DDX_Control(pDX, IDC_SERIAL, m_cbSerial);
    DDX_Control(pDX, IDC_TYPE, m_cbType);
    DDX_Control(pDX, IDC_SEND, m_btnSend);
    DDX_Control(pDX, IDC_UP_FAST, m_btnUpFast);
    DDX_Control(pDX, IDC_UP, m_btnUp);
    DDX_Control(pDX, IDC_DOWN_FAST, m_btnDownFast);
    DDX_Control(pDX, IDC_DOWN, m_btnDown);
    DDX_Text(pDX, IDC_SERVER, m_strServer);
    DDX_Text(pDX, IDC_TEMP, m_fTemperature);
    DDV_MinMaxFloat(pDX, m_fTemperature, TEMP_MIN, TEMP_MAX);
    DDX_Text(pDX, IDC_PORT, m_nPort);
}

BOOL CMimicboxDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    if (CMenu* pSysMenu = GetSystemMenu(FALSE)) {
        CString strAboutMenu;
        strAboutMenu.LoadString(IDS_ABOUTBOX);
        if (!strAboutMenu.IsEmpty()) {
            pSysMenu->AppendMenu(MF_SEPARATOR);
            pSysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, strAboutMenu.GetString());
        }
    }
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    AfxSocketInit();
    m_btnSend.EnableWindow(FALSE);
    if (m_strServer.IsEmpty())
        m_strServer = "127.0.0.1";
    FillSerialList();
    m_cbType.SetCurSel(0);
    m_cbSerial.SetCurSel(0);
    UpdateData(FALSE);
    return TRUE;
}

void CMimicboxDlg::OnSysCommand(UINT nID, LPARAM lParam)
{
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    } else {
        CDialog::OnSysCommand(nID, lParam);
    }
}

void CMimicboxDlg::OnPaint()
{
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    const int cxIcon = GetSystemMetrics(SM_CXICON);
    const int cyIcon = GetSystemMetrics(SM_CYICON);
    RECT rect;
    GetClientRect(&rect);
    const int x = (rect.right - rect.left - cxIcon + 1) / 2;
    const int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HICON CMimicboxDlg::OnQueryDragIcon() { return m_hIcon; }
