#include "ServerEditDlg.h"

#include <winsock2.h>
#include <commctrl.h>

#include "AppBase.h"
#include "CodePage.h"
#include "ServerListFile.h"
#include "resource.h"

INT_PTR CServerEditDlg::DoModal() { return CDialog::DoModal(IDD_SERVER_EDIT, m_hParent); }

DWORD CServerEditDlg::PackAddress(const std::wstring& address) {
    if (address.empty()) return 0;
    // inet_addr gives network order: the first octet is the lowest byte in memory.
    unsigned long inet = ::inet_addr(CodePage::FromWide(address).c_str());
    const BYTE* b = reinterpret_cast<const BYTE*>(&inet);
    return MAKEIPADDRESS(b[0], b[1], b[2], b[3]);
}

std::wstring CServerEditDlg::FormatAddress(DWORD packed) {
    wchar_t text[16];
    swprintf(text, 16, L"%u.%u.%u.%u", FIRST_IPADDRESS(packed), SECOND_IPADDRESS(packed), THIRD_IPADDRESS(packed),
             FOURTH_IPADDRESS(packed));
    return text;
}

BOOL CServerEditDlg::OnInitDialog() {
    SetItemText(IDC_SERVER_NAME, m_strName);
    if (!m_strCaption.empty()) ::SetWindowTextW(m_hWnd, m_strCaption.c_str());
    ::SendMessageW(GetItem(IDC_SERVER_ADDRESS), IPM_SETADDRESS, 0, PackAddress(m_strAddress));
    return TRUE;
}

void CServerEditDlg::OnOK() {
    std::wstring name = GetItemText(IDC_SERVER_NAME);
    // A name the list file cannot hold would come back changed or split:
    // refuse it here, before anything is written.
    if (const wchar_t* problem = CServerListFile::NameProblem(name)) {
        CAppBase* app = CAppBase::Get();
        if (app) app->MessageBox(m_hWnd, problem, MB_OK | MB_ICONEXCLAMATION);
        HWND edit = GetItem(IDC_SERVER_NAME);
        ::SetFocus(edit);
        ::SendMessageW(edit, EM_SETSEL, 0, -1);
        return;
    }
    // Blank fields read as 0.
    DWORD packed = 0;
    ::SendMessageW(GetItem(IDC_SERVER_ADDRESS), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&packed));
    m_strName = name;
    // An address left as it was shown keeps its own text ("127.0.0.010" stays
    // so): only a changed one is written in the control's form.
    if (m_strAddress.empty() || packed != PackAddress(m_strAddress)) m_strAddress = FormatAddress(packed);
    CDialog::OnOK();
}
