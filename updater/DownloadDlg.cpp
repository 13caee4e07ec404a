#include "DownloadDlg.h"

#include <commctrl.h>

#include <algorithm>

#include "AppBase.h"
#include "resource.h"

CDownloadDlg::CDownloadDlg(UINT captionId) : m_nCaptionId(captionId ? captionId : IDS_DOWNLOAD_CAPTION) {}

CDownloadDlg::~CDownloadDlg() {
    if (m_hWnd) DestroyWindow();
}

BOOL CDownloadDlg::ShowModeless(HWND parent) {
    HWND owner = parent ? parent : CAppBase::Get() ? CAppBase::Get()->GetMainWnd() : nullptr;
    if (owner) owner = ::GetAncestor(owner, GA_ROOT);
    m_hOwner = owner;
    if (owner && ::IsWindowEnabled(owner)) {
        ::EnableWindow(owner, FALSE);
        m_bOwnerDisabled = TRUE;
    }
    if (!Create(IDD_DOWNLOAD, owner)) {
        RestoreOwner();
        return FALSE;
    }
    return TRUE;
}

BOOL CDownloadDlg::OnInitDialog() {
    HWND bar = GetItem(IDC_DOWNLOAD_PROGRESS);
    ::SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(m_nLower, m_nUpper));
    ::SendMessageW(bar, PBM_SETSTEP, m_nStep, 0);
    ::SendMessageW(bar, PBM_SETPOS, m_nLower, 0);
    ::SetWindowTextW(m_hWnd, CAppBase::LoadString(m_nCaptionId).c_str());
    return TRUE;
}

int CDownloadDlg::SetProgress(int position) {
    PumpWaitingMessages();
    if (!m_hWnd) return 0;
    int previous = static_cast<int>(::SendMessageW(GetItem(IDC_DOWNLOAD_PROGRESS), PBM_SETPOS, position, 0));
    ShowPercent(position);
    return previous;
}

BOOL CDownloadDlg::PollCancel() {
    PumpWaitingMessages();
    BOOL result = m_bCancelRequested;
    m_bCancelRequested = FALSE;
    return result;
}

void CDownloadDlg::PumpWaitingMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Not ours to take: leave it for the message loop.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (m_hWnd && ::IsDialogMessageW(m_hWnd, &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

std::wstring CDownloadDlg::PercentText(int position, int lower, int upper) {
    int percent = upper > lower ? std::clamp((position - lower) * 100 / (upper - lower), 0, 100) : 0;
    wchar_t text[32];
    swprintf(text, 32, L"%d%c", percent, L'%');
    return text;
}

void CDownloadDlg::ShowPercent(int position) {
    std::wstring text = PercentText(position, m_nLower, m_nUpper);
    if (GetItemText(IDC_DOWNLOAD_PERCENT) != text) SetItemText(IDC_DOWNLOAD_PERCENT, text);
}

void CDownloadDlg::RestoreOwner() {
    if (m_bOwnerDisabled && m_hOwner) ::EnableWindow(m_hOwner, TRUE);
    m_bOwnerDisabled = FALSE;
}

BOOL CDownloadDlg::DestroyWindow() {
    RestoreOwner();
    if (!m_hWnd) return FALSE;
    return ::DestroyWindow(m_hWnd);
}
