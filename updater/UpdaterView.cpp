#include "UpdaterView.h"

#include <utility>

#include "AppBase.h"
#include "Font.h"
#include "Updater.h"
#include "resource.h"

namespace {
const wchar_t kFetchFailed[] = L"업데이트정보를 가져오는데 실패하였습니다.";
// A build without a publisher key installs whatever the network sends: it says so.
const wchar_t kDevelopmentBuild[] = L"개발용 빌드: 서명되지 않은 파일도 설치합니다";
constexpr int kStatusX = 150;
constexpr int kStatusY = 210;
constexpr int kNoticeX = 150;
constexpr int kNoticeY = 176;
}  // namespace

CUpdaterView::~CUpdaterView() {
    m_pDownloadDlg.reset();
    DestroyWindow();
}

bool CUpdaterView::Create(HWND parent, const RECT& rect, UINT id) {
    LPCWSTR cls = RegisterClass(L"StartUpdaterView", CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW,
                                ::LoadCursorW(nullptr, IDC_ARROW), reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1),
                                nullptr);
    return CreateEx(0, cls, nullptr, WS_CHILD | WS_VISIBLE, rect, parent, id);
}

LRESULT CUpdaterView::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        return OnCreate();
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_COMMAND:
        if (OnCommand(LOWORD(wParam))) return 0;
        break;
    }
    return Default(msg, wParam, lParam);
}

bool CUpdaterView::OnCommand(UINT id) {
    switch (id) {
    case ID_CHECK_PROGRAM:
        OnCheckProgram();
        return true;
    case ID_RUN_PROGRAM:
        OnRunProgram();
        return true;
    case ID_DOWNLOAD_PROGRAM:
        OnDownloadProgram();
        return true;
    }
    return false;
}

LRESULT CUpdaterView::OnCreate() {
    m_dibSkin.LoadFromResource(IDB_UPDATER_SKIN);
    m_statusFont.Reset(Font::CreatePointFont(90, L"굴림"));
    m_bUnsigned = CUpdater::Installed().publicKey.empty();
    // The update run starts as soon as the message loop runs.
    ::PostMessageW(m_hWnd, WM_COMMAND, ID_CHECK_PROGRAM, 0);
    return 0;
}

void CUpdaterView::OnPaint() {
    PaintDC dc(m_hWnd);
    m_dibSkin.DrawInWindow(dc.Get(), 1, m_hWnd, nullptr, FALSE, TRUE);
    SelectObjectScope font(dc.Get(), m_statusFont.Get());
    ::SetBkMode(dc.Get(), TRANSPARENT);
    if (m_bUnsigned) {
        ::SetTextColor(dc.Get(), RGB(255, 176, 64));
        ::TextOutW(dc.Get(), kNoticeX, kNoticeY, kDevelopmentBuild, static_cast<int>(wcslen(kDevelopmentBuild)));
    }
    if (m_strStatus.empty()) return;
    ::SetTextColor(dc.Get(), RGB(0, 0, 0));
    ::TextOutW(dc.Get(), kStatusX, kStatusY, m_strStatus.c_str(), static_cast<int>(m_strStatus.size()));
}

void CUpdaterView::SetStatusText(const std::wstring& text) {
    m_strStatus = text;
    if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CUpdaterView::OpenProgress() {
    m_pDownloadDlg = std::make_unique<CDownloadDlg>();
    // Without the dialog the transfer still runs; it just cannot be cancelled.
    if (!m_pDownloadDlg->ShowModeless(nullptr)) m_pDownloadDlg.reset();
}

void CUpdaterView::SetProgress(int position) {
    if (m_pDownloadDlg) m_pDownloadDlg->SetProgress(position);
}

BOOL CUpdaterView::PollCancel() {
    if (m_pDownloadDlg) return m_pDownloadDlg->PollCancel() || std::exchange(m_bCancelRequested, FALSE);
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Not ours to take: leave it for the message loop.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if ((msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) ||
            (msg.message == WM_SYSKEYDOWN && msg.wParam == VK_F4)) {
            m_bCancelRequested = TRUE;
            continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return std::exchange(m_bCancelRequested, FALSE);
}

void CUpdaterView::CloseProgress() { m_pDownloadDlg.reset(); }

void CUpdaterView::OnCheckProgram() {
    // Whatever happens in the run, the launcher is started in the end.
    m_bRunning = true;
    try {
        const CUpdater::Settings settings = CUpdater::Installed();
        CUpdater updater(*this, settings);
        CUpdater::Outcome outcome = updater.CheckProgram();
        if (outcome == CUpdater::Outcome::ManifestFailed && CAppBase::Get())
            CAppBase::Get()->MessageBox(kFetchFailed, MB_OK);
        // The status alone would vanish with the window: the player is told, with the file
        // to show the publisher's support, then the launcher starts.
        if (outcome == CUpdater::Outcome::RecordUnreadable && CAppBase::Get())
            CAppBase::Get()->MessageBox(std::wstring(CUpdater::kRecordUnreadable) + L"\n\n" +
                                            CAppBase::ProfileFilePath(settings.profile),
                                        MB_OK | MB_ICONWARNING);
    } catch (...) {
        ReportCallbackException();
    }
    m_bRunning = false;
    ::PostMessageW(m_hWnd, WM_COMMAND, ID_RUN_PROGRAM, 0);
}

void CUpdaterView::OnRunProgram() {
    std::wstring launcher = CAppBase::ProgramFolder() + L"Orvn.exe";
    std::wstring commandLine = L"\"" + launcher + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION pi{};
    // Started, not waited for.
    if (::CreateProcessW(launcher.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                         &pi)) {
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    }
    HWND main = CAppBase::Get() ? CAppBase::Get()->GetMainWnd() : ::GetAncestor(m_hWnd, GA_ROOT);
    ::PostMessageW(main, WM_CLOSE, 0, 0);
}
