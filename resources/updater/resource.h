// Resource and command identifiers of the updater.
#pragma once

#define IDD_DOWNLOAD             102
#define IDS_DOWNLOAD_CAPTION     103
#define IDR_MAINFRAME            128
#define IDB_UPDATER_SKIN         130
#define IDS_APP_TITLE            57344
#define IDS_READY                57345

#define IDC_DOWNLOAD_PROGRESS    1003
#define IDC_DOWNLOAD_PERCENT     1004

#define ID_CHECK_PROGRAM         32771
#define ID_RUN_PROGRAM           32772
#define ID_DOWNLOAD_PROGRAM      32773
#define AFX_IDW_PANE_FIRST       59648

#define ID_EDIT_COPY             57634
#define ID_EDIT_CUT              57635
#define ID_EDIT_PASTE            57637
#define ID_EDIT_UNDO             57643
#define ID_NEXT_PANE             57680
#define ID_PREV_PANE             57681
