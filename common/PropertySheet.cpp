#include "PropertySheet.h"

#include <commctrl.h>
#include <prsht.h>

#include "PropertyPage.h"

INT_PTR CPropertySheet::DoModal() {
    if (m_pages.empty()) return -1;
    std::vector<PROPSHEETPAGEW> pages;
    for (CPropertyPage* page : m_pages) {
        page->ClearApplied();
        pages.push_back(page->Describe());
    }

    PROPSHEETHEADERW header{};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW;
    header.hwndParent = m_hParent;
    header.hInstance = ::GetModuleHandleW(nullptr);
    header.pszCaption = m_strCaption.c_str();
    header.nPages = static_cast<UINT>(pages.size());
    header.nStartPage = m_nStartPage >= 0 && m_nStartPage < static_cast<int>(pages.size()) ? m_nStartPage : 0;
    header.ppsp = pages.data();
    // OK sends PSN_APPLY to every page that was created; the sheet's own result
    // says only whether a page reported a change, so ask the pages.
    INT_PTR r = ::PropertySheetW(&header);
    if (r < 0) return -1;
    for (CPropertyPage* page : m_pages)
        if (page->WasApplied()) return IDOK;
    return IDCANCEL;
}
