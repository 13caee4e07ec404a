// Resource and command identifiers of the launcher.
#pragma once

#define IDR_MAINFRAME            128
#define IDS_SOCKETS_INIT_FAILED  104
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

#define ID_SETUP                 32775
#define ID_WARCRAFT_BATTLENET    32776
#define ID_STARCRAFT_BATTLENET   32777
#define ID_DIABLO_BATTLENET      32778
#define ID_DIABLOSW_BATTLENET    32779
#define ID_APP_EXIT              57665
#define AFX_IDW_PANE_FIRST       59648

#define ORVN_VERSION_BINARY      1,0,0,7
#define ORVN_VERSION_TEXT        "1.0.0.7"
