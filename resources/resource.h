// Resource ids of ClipHarbor. Shared by the resource script and the C++ code.
#pragma once

// Dialog templates
#define IDD_ABOUTBOX 100
#define IDD_CLIPHARBOR_DIALOG 102

// Messages of the catalogue (string tables)
#define IDS_ABOUTBOX 101
#define IDS_PREVIEW 102
#define IDS_COLUMN_NAME 103
#define IDS_COLUMN_DATE 104
#define IDS_COLUMN_SIZE 105
#define IDS_COLUMN_DURATION 106
#define IDS_NO_SELECTION 107
#define IDS_MULTIPLE_SELECTION 108
#define IDS_COPY_ONE 109
#define IDS_COPY_MANY 110
#define IDS_MOVE_ONE 111
#define IDS_MOVE_MANY 112
#define IDS_DELETE_ONE 113
#define IDS_CONFIRM_DELETE_ONE 114
#define IDS_NO_DEVICE 115
#define IDS_ERROR_DELETE 116
#define IDS_ERROR_COPY 117
#define IDS_ERROR_MOVE 118
#define IDS_FREE 149
#define IDS_TOTAL 150
#define IDS_MOUNTED 151
#define IDS_AUTOLAUNCH 152
#define IDS_SELECTION_FORMAT 153
#define IDS_CONFIRM_DELETE_MANY 154
#define IDS_DELETE_MANY 155

// Pictures (type "BINARY") and the icon
#define IDR_BANNER 139
#define IDR_DEVICE_PICTURE 140
#define IDR_LOGO 148
#define IDI_CLIPHARBOR 154

// Controls of the main window
#define IDC_CLIP_LIST 1000
#define IDC_DISK_GAUGE 1007
#define IDC_COPY 1008
#define IDC_MOVE 1009
#define IDC_DELETE 1010
#define IDC_AUTOLAUNCH 1011
#define IDC_DISK_TEXT 1017
#define IDC_DEVICE_COMBO 1018
#define IDC_DEVICE_LABEL 1019
#define IDC_PREVIEW_LABEL 1026
#define IDC_SELECTION_TEXT 1027
#define IDC_PREVIEW_FRAME 1028

// System-menu command of the About box
#define IDM_ABOUTBOX 0x0010
