#include "PropertyPage.h"

PROPSHEETPAGEW CPropertyPage::Describe() {
    PROPSHEETPAGEW page{};
    page.dwSize = sizeof(page);
    page.dwFlags = PSP_DEFAULT;
    page.hInstance = ::GetModuleHandleW(nullptr);
    page.pszTemplate = MAKEINTRESOURCEW(m_nTemplateId);
    page.pfnDlgProc = &CPropertyPage::PageProc;
    page.lParam = reinterpret_cast<LPARAM>(this);
    return page;
}

bool CPropertyPage::OnNotify(NMHDR* hdr, LRESULT* result) {
    switch (hdr->code) {
    case PSN_SETACTIVE:
        *result = OnSetActive() ? 0 : -1;
        return true;
    case PSN_KILLACTIVE:
        *result = OnKillActive() ? FALSE : TRUE;
        return true;
    case PSN_APPLY:
        m_bApplied = OnApply() != FALSE;
        *result = m_bApplied ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE;
        return true;
    case PSN_RESET:
        OnReset();
        *result = 0;
        return true;
    }
    return false;
}

INT_PTR CALLBACK CPropertyPage::PageProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != WM_INITDIALOG || FromHandle(hwnd)) return FALSE;
    // The sheet hands the page description in; its lParam is the object.
    const auto* page = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
    return StartDialog(page ? reinterpret_cast<CPropertyPage*>(page->lParam) : nullptr, hwnd, wParam, lParam);
}
