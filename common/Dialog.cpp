#include "Dialog.h"

#include <vector>

INT_PTR CDialog::DoModal(UINT templateId, HWND parent) {
    m_bModal = true;
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId), parent, &CDialog::DialogProc,
                             reinterpret_cast<LPARAM>(this));
}

bool CDialog::Create(UINT templateId, HWND parent) {
    m_bModal = false;
    return ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId), parent,
                                &CDialog::DialogProc, reinterpret_cast<LPARAM>(this)) != nullptr;
}

void CDialog::EndDialog(INT_PTR result) {
    if (!m_hWnd) return;
    if (m_bModal)
        ::EndDialog(m_hWnd, result);
    else
        ::DestroyWindow(m_hWnd);
}

std::wstring CDialog::GetItemText(int id) const {
    HWND item = GetItem(id);
    int length = item ? ::GetWindowTextLengthW(item) : 0;
    if (length <= 0) return std::wstring();
    std::vector<wchar_t> buffer(length + 1);
    ::GetWindowTextW(item, buffer.data(), length + 1);
    return buffer.data();
}

void CDialog::SetItemText(int id, const std::wstring& text) { ::SetDlgItemTextW(m_hWnd, id, text.c_str()); }

LRESULT CDialog::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        if (OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam))) return 0;
        break;
    case WM_NOTIFY: {
        LRESULT result = 0;
        if (!OnNotify(reinterpret_cast<NMHDR*>(lParam), &result)) break;
        // Answered as the dialog manager would: returned, and kept where a
        // dialog's answer is read.
        ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
        return result;
    }
    }
    return Default(msg, wParam, lParam);
}

bool CDialog::OnCommand(UINT id, UINT code, HWND) {
    if (code != BN_CLICKED) return false;
    switch (id) {
    case IDOK:
        OnOK();
        return true;
    case IDCANCEL:
        OnCancel();
        return true;
    }
    return false;
}

bool CDialog::OnNotify(NMHDR*, LRESULT*) { return false; }

INT_PTR CDialog::StartDialog(CDialog* self, HWND hwnd, WPARAM wParam, LPARAM lParam) {
    if (!self || !self->Subclass(hwnd)) return FALSE;
    return static_cast<INT_PTR>(WindowProc(hwnd, WM_INITDIALOG, wParam, lParam));
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    // Once attached, the dialog's messages reach this procedure only from the
    // dialog manager's default processing: nothing more to do here.
    if (msg != WM_INITDIALOG || FromHandle(hwnd)) return FALSE;
    return StartDialog(reinterpret_cast<CDialog*>(lParam), hwnd, wParam, lParam);
}
