#pragma once
// The launcher's settings: a modal sheet with the user server page and the
// program page.
#include <windows.h>

#include "PropertySheet.h"
#include "SetupPage1.h"
#include "SetupPage2.h"

class CSetupDialog : public CPropertySheet {
public:
    explicit CSetupDialog(HWND parent);

    CSetupPage1 m_page1;
    CSetupPage2 m_page2;
};
