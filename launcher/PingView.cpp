#include "PingView.h"

#include <commctrl.h>
#include <mmsystem.h>
#include <shellapi.h>

#include <windowsx.h>

#include <memory>

#include "AppBase.h"
#include "Messages.h"
#include "ServerEntry.h"
#include "GamePrograms.h"
#include "LaunchPlan.h"
#include "Layout.h"
#include "SetupDialog.h"
#include "resource.h"

BOOL g_bShowProgramPage = FALSE;
CPingView* CPingView::s_pKeyView = nullptr;

namespace {

const wchar_t kAdPage[] = L"http://" ORVN_ADS_HOST L"/quilla_ads.shtml";
const wchar_t kNewsPage[] = L"http://" ORVN_NEWS_HOST L"/news.html";

struct ButtonRow {
    const wchar_t* caption;
    RECT rect;
    UINT command;
    UINT bitmap;
    int cells[4];  // normal, pressed, hover, disabled: the button uses the first and the third
};
const ButtonRow kButtons[] = {
    {L"Setup", Layout::kSetupButton, ID_SETUP, IDB_BUTTONS, {0, 1, 2, 4}},
    {L"Exit", Layout::kExitButton, ID_APP_EXIT, IDB_BUTTONS, {0, 1, 2, 4}},
};

struct HotSpot {
    RECT rect;
    const wchar_t* link;
};
const HotSpot kHotSpots[] = {
    {Layout::kLogo, ORVN_HOME_URL},
#define INFO_LINK(left, top, right, bottom, link, text) {{left, top, right, bottom}, link},
#include "InfoLinks.inc"
#undef INFO_LINK
};

}  // namespace

CPingView::CPingView() : m_group(*this, m_serverList) {
    m_hSelectCursor = ::LoadCursorW(::GetModuleHandleW(nullptr), L"SELECTCURSOR");
}

CPingView::~CPingView() {
    DestroyWindow();
    // The music plays from the library's memory: stopped before that goes.
    if (m_resourceLibrary) OnSoundPlayStop();
}

bool CPingView::Create(HWND parent, const RECT& rect, UINT id) {
    LPCWSTR cls = RegisterClass(L"OrvPingView", CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW,
                                ::LoadCursorW(nullptr, IDC_ARROW),
                                reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1)), nullptr);
    // A sunken edge instead of a border.
    return CreateEx(WS_EX_CLIENTEDGE, cls, nullptr, WS_CHILD | WS_VISIBLE, rect, parent, id);
}

LRESULT CPingView::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        return OnCreate();
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_DESTROY:
        OnDestroy();
        break;
    case WM_LBUTTONDOWN:
        OnLButtonDown(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, wParam, lParam);
        return 0;
    case WM_LBUTTONUP:
        OnLButtonUp(wParam, lParam);
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, wParam, lParam);
        return 0;
    case WM_CAPTURECHANGED:
        // A drag ends when something else takes the mouse.
        if (reinterpret_cast<HWND>(lParam) != m_hWnd) m_bDragging = FALSE;
        break;
    case WM_SETCURSOR:
        return OnSetCursor(wParam, lParam);
    case WM_COMMAND:
        if (OnCommand(LOWORD(wParam))) return 0;
        break;
    case WM_NOTIFY: {
        LRESULT result = 0;
        if (ReflectNotify(lParam, &result)) return result;
        break;
    }
    case WM_FILL_SERVER_LIST:
        m_group.OnFillServerList();
        return 0;
    case WM_SOCKET_NOTIFY:
        m_group.OnConnect(wParam, lParam);
        return 1;
    case WM_LAUNCHER_KEY:
        OnLauncherKey(wParam);
        return 0;
    case WM_PROFILE_NOT_STORED:
        if (CAppBase* app = CAppBase::Get()) app->MessageBox(CGamePrograms::StoreFailedText(), MB_OK | MB_ICONEXCLAMATION);
        return 0;
    default:
        if (msg == WM_LAUNCH_BATTLENET) return OnLaunchBattleNet(reinterpret_cast<CServerEntry*>(wParam));
        if (msg == WM_GET_RESPONSE_TIME) return OnGetResponseTime(wParam, lParam);
        if (msg == WM_FOLDERBAR_CHANGED) return OnFolderBarChanged();
        if (msg == WM_SOUNDPLAY_STOP) return OnSoundPlayStop();
        if (msg == WM_SOUNDPLAY_START) return OnSoundPlayStart();
        break;
    }
    return Default(msg, wParam, lParam);
}

bool CPingView::OnCommand(UINT id) {
    switch (id) {
    case ID_APP_EXIT:
        OnAppExit();
        return true;
    case ID_SETUP:
        OnSetup();
        return true;
    }
    return false;
}

LRESULT CPingView::OnCreate() {
    // The web panels first; either may be missing, the view works without them.
    // A page that cannot be fetched shows our own, from this program's resources.
    wchar_t module[MAX_PATH];
    DWORD length = ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring offline = L"res://" + std::wstring(module, length < MAX_PATH ? length : 0) + L"/OFFLINE.HTM";
    m_adBrowser.SetErrorPage(offline);
    m_newsBrowser.SetErrorPage(offline);
    m_adBrowser.Create(L"Web", WS_CHILD | WS_VISIBLE, Layout::kBanner, m_hWnd, static_cast<UINT>(-1));
    m_adBrowser.Navigate(kAdPage, nullptr, nullptr, nullptr, nullptr);
    m_newsBrowser.Create(L"Web", WS_CHILD | WS_VISIBLE, Layout::kNews, m_hWnd, static_cast<UINT>(-1));
    m_newsBrowser.Navigate(kNewsPage, nullptr, nullptr, nullptr, nullptr);
    m_skin.LoadFromResource(IDB_SKIN);
    // Clipping its header keeps a row repaint from repainting the header as well.
    m_serverList.Create(WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | LVS_REPORT, Layout::kServerList, m_hWnd,
                        IDC_SERVER_LIST);
    m_folderBar.Create(Layout::kFolderBar, m_hWnd, static_cast<UINT>(-1));
    for (int game = 0; game < CGamePrograms::GameCount(); ++game) {
        const GameProgram& row = CGamePrograms::Game(game);
        auto folder = std::make_unique<CFolderItem>(row.caption, row.folder, row.icon);
        folder->AddEntry(L"Battle.net", 0);
        folder->AddEntry(L"Free", 1);
        m_folderBar.AddFolder(std::move(folder));
    }
    for (int i = 0; i < 2; ++i) {
        const ButtonRow& row = kButtons[i];
        if (!m_buttons[i].Create(row.caption, row.rect, m_hWnd, row.command)) continue;
        m_buttons[i].LoadSkin(row.bitmap, row.rect.right - row.rect.left, row.rect.bottom - row.rect.top);
        m_buttons[i].SetCells(row.cells[0], row.cells[2]);
    }
    ::PostMessageW(m_hWnd, WM_SOUNDPLAY_START, 0, 0);
    if (m_serverList.GetHwnd()) m_serverList.View().SetColors(RGB(0, 0, 0), RGB(255, 255, 255));
    m_volumeSlider.Create(POINT{Layout::kVolume.left, Layout::kVolume.top}, m_hWnd, static_cast<UINT>(-1));
    // Told once the window shows, not from inside its creation.
    if (!CGamePrograms::FillProgramPaths()) ::PostMessageW(m_hWnd, WM_PROFILE_NOT_STORED, 0, 0);
    s_pKeyView = this;
    m_keyHook.Reset(::SetWindowsHookExW(WH_GETMESSAGE, &CPingView::KeyHook, nullptr, ::GetCurrentThreadId()));
    return 0;
}

void CPingView::OnDestroy() {
    m_keyHook.Reset();
    if (s_pKeyView == this) s_pKeyView = nullptr;
    // The sweep must not outlive the list it reports to.
    m_group.StopSweep();
    m_group.ClearServerList();
}

void CPingView::OnAppExit() {
    if (!m_group.StopSweep()) return;
    OnSoundPlayStop();
    HWND main = CAppBase::Get() ? CAppBase::Get()->GetMainWnd() : nullptr;
    if (main) ::SendMessageW(main, WM_CLOSE, 0, 0);
}

// ---- Painting, hot spots, window drag and cursor ----

void CPingView::OnPaint() {
    PaintDC dc(m_hWnd);
    m_skin.DrawInWindow(dc.Get(), 1, m_hWnd, nullptr, FALSE, TRUE);
    ::SetTextColor(dc.Get(), RGB(255, 255, 255));
    ::SetBkMode(dc.Get(), TRANSPARENT);
    // The text lies under the Setup button; clipped to it, so that no glyph
    // shows in the gap between the two buttons.
    static const wchar_t kVersion[] = L"Ver. 1.07";
    ::ExtTextOutW(dc.Get(), Layout::kVersion.x, Layout::kVersion.y, ETO_CLIPPED, &Layout::kSetupButton, kVersion,
                  static_cast<UINT>(wcslen(kVersion)), nullptr);
}

const wchar_t* CPingView::HotSpotLink(POINT pt) {
    for (const HotSpot& spot : kHotSpots)
        if (::PtInRect(&spot.rect, pt)) return spot.link;
    return nullptr;
}

void CPingView::OnLButtonDown(POINT pt, WPARAM wParam, LPARAM lParam) {
    if (const wchar_t* link = HotSpotLink(pt)) {
        CAppBase* app = CAppBase::Get();
        ::ShellExecuteW(app ? app->GetMainWnd() : nullptr, L"open", link, nullptr, nullptr, SW_SHOWNORMAL);
        return;
    }
    m_nDragStartX = pt.x;
    m_nDragStartY = pt.y;
    m_bDragging = TRUE;
    ::SetCapture(m_hWnd);
    Default(WM_LBUTTONDOWN, wParam, lParam);
}

void CPingView::OnMouseMove(POINT pt, WPARAM wParam, LPARAM lParam) {
    HWND main = CAppBase::Get() ? CAppBase::Get()->GetMainWnd() : nullptr;
    if (!m_bDragging || !main) {
        Default(WM_MOUSEMOVE, wParam, lParam);
        return;
    }
    // The grab point stays under the cursor: the frame moves by the cursor's
    // offset from it (the view moves with the frame).
    RECT frame;
    ::GetWindowRect(main, &frame);
    ::SetWindowPos(main, nullptr, frame.left + pt.x - m_nDragStartX, frame.top + pt.y - m_nDragStartY, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER);
}

void CPingView::OnLButtonUp(WPARAM wParam, LPARAM lParam) {
    if (m_bDragging) {
        m_bDragging = FALSE;
        ::ReleaseCapture();
    }
    Default(WM_LBUTTONUP, wParam, lParam);
}

LRESULT CPingView::OnSetCursor(WPARAM wParam, LPARAM lParam) {
    POINT pt;
    ::GetCursorPos(&pt);
    ::ScreenToClient(m_hWnd, &pt);
    if (HotSpotLink(pt)) {
        if (::GetCursor() != m_hSelectCursor) ::SetCursor(m_hSelectCursor);
        return TRUE;
    }
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    return Default(WM_SETCURSOR, wParam, lParam);
}

// ---- Server groups ----

LRESULT CPingView::OnGetResponseTime(WPARAM folder, LPARAM item) {
    int game = CGamePrograms::GameOfFolder(static_cast<UINT>(folder));
    const GameProgram& row = CGamePrograms::Game(game);
    switch (item) {
    case 0:
        m_group.SelectServerGroup(row.battleNetList, nullptr, game);
        break;
    case 1:
        m_group.SelectServerGroup(row.freeList, row.userList, game);
        break;
    }
    return 0;
}

LRESULT CPingView::OnFolderBarChanged() {
    // Stops first: the sweep must not go on reporting into a list being emptied.
    m_group.EmptyServerGroup();
    // Another game's folder: the banner fetches its page again.
    m_adBrowser.Refresh();
    return 0;
}

LRESULT CPingView::OnLaunchBattleNet(CServerEntry* entry) {
    if (CServerGroup::IsSweeping()) return 0;
    // The pointer came through the message queue: use it only if the row still exists.
    if (!m_group.IsCurrentEntry(entry)) return 0;
    CAppBase* app = CAppBase::Get();
    auto ask = [app](const std::wstring& text, UINT type) { return app && app->MessageBox(text, type) == IDYES; };
    const int game = CServerGroup::CurrentGame();
    const std::wstring path = CGamePrograms::StoredPath(game);
    CLaunchPlan::Facts facts;
    facts.answered = entry->m_wResponse != RESPONSE_FAILED;
    facts.program = CLaunchPlan::ProgramState(path);
    DWORD error = 0;
    for (;;) {
        switch (CLaunchPlan::Next(facts)) {
        case CLaunchPlan::Step::AskUnanswered:
            facts.goUnanswered = ask(L"이 서버는 응답하지 않았습니다.\n그래도 이 서버로 게임을 실행하시겠습니까?",
                                     MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) &&
                                 m_group.IsCurrentEntry(entry);  // the list may have changed meanwhile
            break;
        case CLaunchPlan::Step::WriteServerList:
            facts.listWritten = CGamePrograms::WriteServerList(entry->m_strAddress);
            break;
        case CLaunchPlan::Step::WriteGateway:
            facts.gatewayWritten = CGamePrograms::WriteGateway(entry->m_strAddress, entry->m_strName);
            break;
        case CLaunchPlan::Step::TellGatewayFailed:
            if (app)
                app->MessageBox(L"Battle.net 게이트웨이 목록에 서버를 설정하지 못했습니다.\n게임을 실행하지 않았습니다.",
                                MB_OK | MB_ICONEXCLAMATION);
            facts.failureTold = true;
            break;
        case CLaunchPlan::Step::AskUnwritten:
            facts.goUnwritten = ask(L"Battle.net 서버를 설정하지 못했습니다.\n그래도 게임을 실행하시겠습니까?",
                                    MB_YESNO | MB_ICONEXCLAMATION);
            break;
        case CLaunchPlan::Step::StartGame:
            OnSoundPlayStop();
            facts.started = CGamePrograms::StartGame(game, app ? app->GetMainWnd() : nullptr, &error);
            break;
        case CLaunchPlan::Step::TellStartFailed:
            // No game runs: the music comes back.
            OnSoundPlayStart();
            if (app)
                app->MessageBox(L"게임 프로그램을 실행할 수 없습니다.\n" + path + L"\n\n" + CGamePrograms::ErrorText(error),
                                MB_OK | MB_ICONEXCLAMATION);
            facts.failureTold = true;
            break;
        case CLaunchPlan::Step::AskProgramNotSet:
            facts.programPage = ask(L"프로그램이 설정되지 않았습니다.\n프로그램을 설정하시겠습니까?", MB_YESNO);
            break;
        case CLaunchPlan::Step::AskProgramNotFound:
            facts.programPage =
                ask(L"실행 프로그램을 찾을 수 없습니다.\n" + path + L"\n\n프로그램을 설정하시겠습니까?", MB_YESNO);
            break;
        case CLaunchPlan::Step::OpenSetup:
            // A Yes is consumed by the next Setup, which opens on the program page with it.
            if (*facts.programPage) g_bShowProgramPage = TRUE;
            ::PostMessageW(m_hWnd, WM_COMMAND, ID_SETUP, 0);
            facts.setupOpened = true;
            break;
        case CLaunchPlan::Step::Done:
            return facts.started.value_or(false) ? 1 : 0;
        }
    }
}

void CPingView::OnSetup() {
    // Owned by the main window, as a sheet without a parent is: the launcher
    // takes no clicks (no second Setup, no Exit) while it is open.
    CAppBase* app = CAppBase::Get();
    CSetupDialog sheet(app ? app->GetMainWnd() : nullptr);
    // A Yes to the launch question is consumed by the next Setup, which opens
    // on the program page with it.
    if (g_bShowProgramPage) {
        g_bShowProgramPage = FALSE;
        sheet.SetActivePage(1);
    }
    sheet.DoModal();
}

// ---- Keys ----

LRESULT CALLBACK CPingView::KeyHook(int code, WPARAM wParam, LPARAM lParam) {
    auto* msg = reinterpret_cast<MSG*>(lParam);
    CPingView* view = s_pKeyView;
    if (code == HC_ACTION && wParam == PM_REMOVE && view && msg->message == WM_KEYDOWN &&
        (msg->wParam == VK_RETURN || msg->wParam == VK_F5)) {
        // Only while the launcher is the active window: a message box or the
        // setup sheet keeps its own Enter.
        HWND root = ::GetAncestor(view->m_hWnd, GA_ROOT);
        if (root && ::GetActiveWindow() == root && (msg->hwnd == root || ::IsChild(root, msg->hwnd))) {
            // Posted, so that a question it raises is not asked inside the hook;
            // a held key does not repeat the launch.
            if (!(msg->lParam & (1 << 30))) ::PostMessageW(view->m_hWnd, WM_LAUNCHER_KEY, msg->wParam, 0);
            msg->message = WM_NULL;
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

void CPingView::OnLauncherKey(WPARAM key) {
    switch (key) {
    case VK_RETURN:
        m_serverList.LaunchSelected();
        break;
    case VK_F5:
        m_group.Remeasure();
        break;
    }
}

// ---- Background music ----

LRESULT CPingView::OnSoundPlayStart() {
    std::wstring path = CAppBase::ProgramFolder() + L"Orvmedia.DLL";
    if (!CAppBase::FileExists(path)) return 0;
    if (!m_resourceLibrary) m_resourceLibrary.Reset(::LoadLibraryW(path.c_str()));
    if (!m_resourceLibrary) return 0;
    // Once, not looped; nothing at all when the library holds no "BGM".
    ::PlaySoundW(L"BGM", m_resourceLibrary.Get(), SND_RESOURCE | SND_ASYNC | SND_NODEFAULT);
    return 0;
}

LRESULT CPingView::OnSoundPlayStop() {
    ::PlaySoundW(nullptr, nullptr, SND_NODEFAULT);
    return 0;
}
