#pragma once
// Thin base for dialogs made from templates in the resources. A dialog is a
// CWindow: the dialog procedure only attaches the object at WM_INITDIALOG and
// hands the window to CWindow's procedure, so a derived class handles its
// messages in HandleMessage (its message map) or through the virtuals below,
// and what it leaves goes to the dialog manager through Default().
#include <windows.h>

#include <string>

#include "Window.h"

class CDialog : public CWindow {
public:
    CDialog() = default;

    // Runs the dialog modally; the result of EndDialog, or -1 when it cannot be made.
    INT_PTR DoModal(UINT templateId, HWND parent);
    // Makes the dialog modeless (shown when its template says WS_VISIBLE).
    bool Create(UINT templateId, HWND parent);
    // Ends a modal dialog; destroys a modeless one.
    void EndDialog(INT_PTR result);

    HWND GetItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    std::wstring GetItemText(int id) const;
    void SetItemText(int id, const std::wstring& text);

protected:
    // The default routes to the virtuals below.
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // TRUE lets the system set the focus to the first control.
    virtual BOOL OnInitDialog() { return TRUE; }
    // True when handled. The default maps IDOK and IDCANCEL to OnOK and OnCancel.
    virtual bool OnCommand(UINT id, UINT code, HWND control);
    // True when handled; *result is the answer.
    virtual bool OnNotify(NMHDR* hdr, LRESULT* result);
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }

    // What a dialog procedure does at WM_INITDIALOG for the object behind the
    // dialog: attaches it and lets it handle the message.
    static INT_PTR StartDialog(CDialog* self, HWND hwnd, WPARAM wParam, LPARAM lParam);

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    bool m_bModal = false;
};
