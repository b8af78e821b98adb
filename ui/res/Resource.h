// Resource ids: dialogs, controls, strings, icon, bitmap and the system-menu command.
#pragma once

constexpr unsigned IDD_ABOUTBOX = 100;
constexpr unsigned IDS_ABOUTBOX = 101;
constexpr unsigned IDD_MAIN = 102;
constexpr unsigned IDS_HEADER = 103;
constexpr unsigned IDS_INT_FIELD = 104;
constexpr unsigned IDS_TEMP_BODY = 105;
constexpr unsigned IDS_SWITCH_BODY = 106;
constexpr unsigned IDR_MAINFRAME = 128;
constexpr unsigned IDB_DEVICE = 129;

constexpr int IDC_DOWN = 1001;
constexpr int IDC_UP_FAST = 1002;
constexpr int IDC_UP = 1003;
constexpr int IDC_DOWN_FAST = 1004;
constexpr int IDC_TEMP = 1005;
constexpr int IDC_SERVER = 1006;
constexpr int IDC_PORT = 1007;
constexpr int IDC_CONNECT = 1008;
constexpr int IDC_SEND = 1009;
constexpr int IDC_TYPE = 1011;
constexpr int IDC_SERIAL = 1012;
constexpr int IDC_LED_OFF = 1013;
constexpr int IDC_LED_ON = 1014;
constexpr int IDC_TEMP_LABEL = 1015;
constexpr int IDC_TEMP_UNIT = 1016;
constexpr int IDC_PICTURE = 1017;

constexpr unsigned IDM_ABOUTBOX = 0x0010;

constexpr const char* MIMICBOX_VERSION = "4.2.3";
