#include "Dialog.h"

#include <vector>

#include "Window.h"

namespace {
const wchar_t kPropName[] = L"OrvCDialog";
}

CDialog::~CDialog() {
    if (m_hWnd) {
        ::RemovePropW(m_hWnd, kPropName);
        HWND hwnd = m_hWnd;
        m_hWnd = nullptr;
        if (!m_bModal) ::DestroyWindow(hwnd);
    }
}

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

void CDialog::DestroyWindow() {
    if (m_hWnd) ::DestroyWindow(m_hWnd);
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

CDialog* CDialog::FromHandle(HWND hwnd) {
    return hwnd ? static_cast<CDialog*>(::GetPropW(hwnd, kPropName)) : nullptr;
}

void CDialog::Attach(HWND hwnd) {
    m_hWnd = hwnd;
    ::SetPropW(hwnd, kPropName, this);
}

INT_PTR CDialog::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)) ? TRUE : FALSE;
    case WM_NOTIFY: {
        LRESULT result = 0;
        if (!OnNotify(reinterpret_cast<NMHDR*>(lParam), &result)) return FALSE;
        ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
    }
    return FALSE;
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

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CDialog* self = FromHandle(hwnd);
    if (!self && msg == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        if (self) self->Attach(hwnd);
    }
    if (!self) return FALSE;
    INT_PTR result = FALSE;
    // No exception may unwind through the system's dialog code.
    try {
        result = self->HandleMessage(msg, wParam, lParam);
    } catch (...) {
        CWindow::ReportCallbackException();
        result = FALSE;
    }
    if (msg == WM_NCDESTROY) {
        ::RemovePropW(hwnd, kPropName);
        self->m_hWnd = nullptr;
        self->OnFinalDestroy();
    }
    return result;
}
