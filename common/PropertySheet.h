#pragma once
// Runs a modal property sheet over pages that the caller owns.
#include <windows.h>

#include <string>
#include <vector>

class CPropertyPage;

class CPropertySheet {
public:
    CPropertySheet(std::wstring caption, HWND parent) : m_strCaption(std::move(caption)), m_hParent(parent) {}

    void AddPage(CPropertyPage* page) { m_pages.push_back(page); }
    // The page the sheet opens on (index into the added pages).
    void SetActivePage(int index) { m_nStartPage = index; }
    // IDOK when the user ended with OK, IDCANCEL otherwise, -1 when no sheet could be made.
    INT_PTR DoModal();

private:
    std::wstring m_strCaption;
    HWND m_hParent;
    std::vector<CPropertyPage*> m_pages;
    int m_nStartPage = 0;
};
