#pragma once
// Thin base for dialogs made from templates in the resources: one dialog
// procedure attaches the object at WM_INITDIALOG; a derived class handles its
// messages in HandleMessage (its message map) or through the virtuals below.
#include <windows.h>

#include <string>

class CDialog {
public:
    CDialog() = default;
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    HWND GetHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // Runs the dialog modally; the result of EndDialog, or -1 when it cannot be made.
    INT_PTR DoModal(UINT templateId, HWND parent);
    // Makes the dialog modeless (shown when its template says WS_VISIBLE).
    bool Create(UINT templateId, HWND parent);
    void DestroyWindow();
    // Ends a modal dialog; destroys a modeless one.
    void EndDialog(INT_PTR result);
    bool IsModal() const { return m_bModal; }

    HWND GetItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    std::wstring GetItemText(int id) const;
    void SetItemText(int id, const std::wstring& text);

    // The object behind a dialog made by this layer, or null.
    static CDialog* FromHandle(HWND hwnd);

protected:
    // The dialog's message map. Returns TRUE when handled (as a dialog procedure does);
    // the default one routes to the virtuals below.
    virtual INT_PTR HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    // TRUE lets the system set the focus to the first control.
    virtual BOOL OnInitDialog() { return TRUE; }
    // True when handled. The default maps IDOK and IDCANCEL to OnOK and OnCancel.
    virtual bool OnCommand(UINT id, UINT code, HWND control);
    // True when handled; *result goes back through DWLP_MSGRESULT.
    virtual bool OnNotify(NMHDR* hdr, LRESULT* result);
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // After WM_NCDESTROY, when the handle is gone.
    virtual void OnFinalDestroy() {}

    // Attaches a dialog made elsewhere (property pages).
    void Attach(HWND hwnd);
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;
    bool m_bModal = false;
};
