#include "SetupDialog.h"

#include "AppBase.h"
#include "resource.h"

CSetupDialog::CSetupDialog(HWND parent) : CPropertySheet(CAppBase::LoadString(IDS_SETUP_CAPTION), parent) {
    AddPage(&m_page1);
    AddPage(&m_page2);
}
