#pragma once
// The setup sheet's first page: the servers of "User.txt", listed, added,
// edited and deleted, and written back when the sheet closes with OK.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "ListView.h"
#include "PropertyPage.h"

class CServerEntry;

class CSetupPage1 : public CPropertyPage {
public:
    CSetupPage1();
    ~CSetupPage1() override;


protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
    bool OnNotify(NMHDR* hdr, LRESULT* result) override;
    // The sheet's OK: rewrites "User.txt".
    BOOL OnApply() override;

private:
    void LoadUserList();
    void AppendEntry(std::unique_ptr<CServerEntry> entry);
    CServerEntry* EntryAt(int item) const;
    void EditEntry(CServerEntry* entry);
    void OnAddServer();
    void OnEditServer();
    void OnDeleteServer();
    void OnDoubleClick(POINT click);
    void OnGetDispInfo(NMLVDISPINFOW* info);
    void ReportReadFailure();
    HWND Owner() const;

    std::wstring m_strUserFile;
    CListView m_listServers;
    // Everything from the file's first empty line on: never shown, written back unchanged.
    std::string m_strRest;
    // The file exists but could not be read: the page must not overwrite it.
    bool m_bReadFailed = false;
};
