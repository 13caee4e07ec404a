#pragma once
// A page of a property sheet, made from a dialog template. The sheet's
// notifications arrive as virtuals.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "Dialog.h"

class CPropertyPage : public CDialog {
public:
    explicit CPropertyPage(UINT templateId) : m_nTemplateId(templateId) {}

    // The page as the sheet needs it; the object must outlive the sheet.
    PROPSHEETPAGEW Describe();
    // True once OK was accepted by this page (cleared when the sheet starts).
    bool WasApplied() const { return m_bApplied; }
    void ClearApplied() { m_bApplied = false; }

protected:
    bool OnNotify(NMHDR* hdr, LRESULT* result) override;
    // Pages do not end a dialog: the sheet owns OK and Cancel.
    void OnOK() override {}
    void OnCancel() override {}

    // TRUE lets the page become active.
    virtual BOOL OnSetActive() { return TRUE; }
    // FALSE keeps the page active (invalid input).
    virtual BOOL OnKillActive() { return TRUE; }
    // OK or Apply: FALSE keeps the sheet open on this page.
    virtual BOOL OnApply() { return TRUE; }
    // Cancel.
    virtual void OnReset() {}

private:
    static INT_PTR CALLBACK PageProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    UINT m_nTemplateId;
    bool m_bApplied = false;
};
