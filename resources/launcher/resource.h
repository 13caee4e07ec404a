// Resource and command identifiers of the launcher.
#pragma once

#define IDR_MAINFRAME            128
#define IDS_SOCKETS_INIT_FAILED  104
#define IDS_SETUP_CAPTION        106
#define IDS_APP_TITLE            57344

#define IDB_SKIN                 130
#define IDB_BUTTONS              132
#define IDB_FOLDER_BODY          142
#define IDI_WARCRAFT             143
#define IDI_STARCRAFT            144
#define IDI_DIABLO               145
#define IDB_SLIDER_THUMB         146
#define IDB_SLIDER_TRACK         147
#define IDC_TRACK_CURSOR         172

#define IDC_SERVER_LIST          100

// The setup sheet's pages and the server edit dialog.
#define IDD_SETUP_USER           103
#define IDD_SETUP_PROGRAM        105
#define IDD_SERVER_EDIT          141
#define IDC_USER_SERVERS         1001
#define IDC_ADD_SERVER           1002
#define IDC_EDIT_SERVER          1003
#define IDC_DELETE_SERVER        1004
#define IDC_GATEWAY              1005
#define IDC_SERVER_NAME          1006
#define IDC_SERVER_ADDRESS       1007
#define IDC_STARCRAFT_PATH       1006
#define IDC_WARCRAFT_PATH        1008
#define IDC_DIABLO_PATH          1009
#define IDC_DIABLOSW_PATH        1010
#define IDC_STARCRAFT_BROWSE     1011
#define IDC_WARCRAFT_BROWSE      1012
#define IDC_DIABLO_BROWSE        1013
#define IDC_DIABLOSW_BROWSE      1014

#define ID_SETUP                 32775
#define ID_WARCRAFT_BATTLENET    32776
#define ID_STARCRAFT_BATTLENET   32777
#define ID_DIABLO_BATTLENET      32778
#define ID_DIABLOSW_BATTLENET    32779
#define ID_APP_EXIT              57665
#define AFX_IDW_PANE_FIRST       59648

#define ORVN_VERSION_BINARY      1,0,0,7
#define ORVN_VERSION_TEXT        "1.0.0.7"
