#pragma once
// One server of the user's list: a free-text name and an IPv4 address in the
// system's IP address control. The caller hands both in as text and reads them
// back when DoModal returns IDOK.
#include <windows.h>

#include <string>

#include "Dialog.h"

class CServerEditDlg : public CDialog {
public:
    explicit CServerEditDlg(HWND parent = nullptr) : m_hParent(parent) {}

    INT_PTR DoModal();

    // Address text as the list file keeps it, read as the system reads it
    // (inet_addr, as the probe does), first octet first in the control's
    // packed form (MAKEIPADDRESS); empty text is 0.0.0.0, text that is no
    // address is the parser's failure value, 255.255.255.255.
    static DWORD PackAddress(const std::wstring& address);
    static std::wstring FormatAddress(DWORD packed);

    std::wstring m_strName;
    std::wstring m_strAddress;
    // When not empty, the dialog's title instead of the template's.
    std::wstring m_strCaption;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    HWND m_hParent;
};
