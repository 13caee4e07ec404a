#include "PingView.h"

#include <commctrl.h>
#include <mmsystem.h>
#include <shellapi.h>

#include <windowsx.h>

#include <algorithm>

#include "AppBase.h"
#include "Messages.h"
#include "ServerEntry.h"
#include "ServerListFile.h"
#include "SweepThread.h"
#include "resource.h"

int g_nCurrentGame = 0;
std::atomic<CSweepThread*> g_pSweepThread{nullptr};
std::atomic<bool> g_bStopSweep{false};
std::atomic<CServerEntry*> g_pProbedEntry{nullptr};
BOOL g_bShowProgramPage = FALSE;

namespace {

constexpr DWORD kStopSweepTimeoutMs = 10000;
const wchar_t kProgramSection[] = L"ProgramPath";
const wchar_t kBattleNetKey[] = L"Software\\Battle.net\\Configuration";

struct GameProgram {
    const wchar_t* profileKey;
    const wchar_t* registryKey;  // HKLM key with the "Program" value, or null
    const wchar_t* fixedPath;    // used when there is no registry key
};
const GameProgram kGames[] = {
    {L"StarCraft", L"Software\\Blizzard Entertainment\\Starcraft", nullptr},
    {L"WarCraft II BNE", L"Software\\Blizzard Entertainment\\Warcraft II BNE", nullptr},
    {L"Diablo", nullptr, L"C:\\Diablo\\Diablo.exe"},
    {L"Diablo SW", nullptr, L"C:\\Diablo\\Spawn\\Diablo_s.exe"},
};
const RECT kServerListRect{110, 145, 430, 420};
const RECT kFolderBarRect{7, 147, 92, 465};

struct FolderRow {
    const wchar_t* caption;
    UINT command;
    UINT icon;
};
const FolderRow kFolders[] = {
    {L"StarCraft", ID_STARCRAFT_BATTLENET, IDI_STARCRAFT},
    {L"WarCraft II", ID_WARCRAFT_BATTLENET, IDI_WARCRAFT},
    {L"Diablo", ID_DIABLO_BATTLENET, IDI_DIABLO},
    {L"Diablo SW", ID_DIABLOSW_BATTLENET, IDI_DIABLO},
};

struct ButtonRow {
    const wchar_t* caption;
    int x, y, width, height;
    UINT command;
    UINT bitmap;
    int cells[4];  // normal, pressed, hover, disabled: the button uses the first and the third
};
const ButtonRow kButtons[] = {
    {L"Setup", 445, 435, 88, 35, ID_SETUP, IDB_BUTTONS, {0, 1, 2, 4}},
    {L"Exit", 537, 435, 88, 35, ID_APP_EXIT, IDB_BUTTONS, {0, 1, 2, 4}},
};

struct HotSpot {
    RECT rect;
    const wchar_t* link;
};
const HotSpot kHotSpots[] = {
    {{15, 20, 245, 60}, ORVN_HOME_URL},      // the logo
    {{443, 390, 626, 405}, ORVN_PORTAL_URL}, // first link line of the information panel
    {{443, 407, 626, 422}, ORVN_HOME2_URL},  // second link line
};

// Waits for a handle while still answering messages other threads send to our
// windows (the sweep sorts the list that way), but nothing posted: queued
// socket notifications stay queued, so a probe under way runs into its time-out.
DWORD WaitAnsweringSentMessages(HANDLE handle, DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    for (;;) {
        DWORD elapsed = ::GetTickCount() - start;
        DWORD left = elapsed >= timeoutMs ? 0 : timeoutMs - elapsed;
        DWORD r = ::MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_SENDMESSAGE);
        if (r != WAIT_OBJECT_0 + 1) return r;
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

}  // namespace

CPingView::CPingView() {
    m_hSelectCursor = ::LoadCursorW(::GetModuleHandleW(nullptr), L"SELECTCURSOR");
}

CPingView::~CPingView() { DestroyWindow(); }

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
    case WM_SOCKET_NOTIFY:
        return OnConnect(wParam, lParam);
    default:
        if (msg == WM_LAUNCH_BATTLENET) return OnLaunchBattleNet(reinterpret_cast<CServerEntry*>(wParam));
        if (msg == WM_GET_RESPONSE_TIME) return OnGetResponseTime(wParam, lParam);
        if (msg == WM_FOLDERBAR_CHANGED) return OnFolderBarChanged();
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
    m_skin.LoadFromResource(IDB_SKIN);
    m_serverList.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, kServerListRect, m_hWnd, IDC_SERVER_LIST);
    m_folderBar.Create(kFolderBarRect, m_hWnd, static_cast<UINT>(-1));
    for (const FolderRow& row : kFolders) {
        auto* folder = new CFolderItem(row.caption, row.command, row.icon);
        folder->AddEntry(L"Battle.net", 0);
        folder->AddEntry(L"Free", 1);
        m_folderBar.AddFolder(folder);
    }
    for (int i = 0; i < 2; ++i) {
        const ButtonRow& row = kButtons[i];
        RECT rect{row.x, row.y, row.x + row.width, row.y + row.height};
        if (!m_buttons[i].Create(row.caption, rect, m_hWnd, row.command)) continue;
        m_buttons[i].LoadSkin(row.bitmap, row.width, row.height);
        m_buttons[i].SetCells(row.cells[0], row.cells[2]);
    }
    if (m_serverList.GetHwnd()) {
        ::SendMessageW(m_serverList, LVM_SETBKCOLOR, 0, RGB(0, 0, 0));
        ::SendMessageW(m_serverList, LVM_SETTEXTCOLOR, 0, RGB(255, 255, 255));
        ::SendMessageW(m_serverList, LVM_SETTEXTBKCOLOR, 0, RGB(0, 0, 0));
    }
    FillProgramPaths();
    return 0;
}

void CPingView::OnDestroy() {
    // The sweep must not outlive the list it reports to.
    StopSweep();
    ClearServerList();
}

void CPingView::OnAppExit() {
    if (!StopSweep()) return;
    ::PlaySoundW(nullptr, nullptr, SND_NODEFAULT);
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
    const ButtonRow& row = kButtons[0];
    RECT setup{row.x, row.y, row.x + row.width, row.y + row.height};
    ::ExtTextOutW(dc.Get(), 460, 445, ETO_CLIPPED, &setup, kVersion, static_cast<UINT>(wcslen(kVersion)), nullptr);
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

// ---- Server groups and the sweep ----

LRESULT CPingView::OnGetResponseTime(WPARAM folder, LPARAM item) {
    const wchar_t* file1;
    const wchar_t* file2 = nullptr;
    switch (item) {
    case 0:
        file1 = L"Blizzard.txt";
        break;
    case 1:
        file1 = L"Free.txt";
        file2 = L"User.txt";
        break;
    default:
        return 0;
    }
    int game;
    switch (folder) {
    case ID_WARCRAFT_BATTLENET:
        game = 1;
        break;
    case ID_DIABLO_BATTLENET:
        game = 2;
        break;
    case ID_DIABLOSW_BATTLENET:
        game = 3;
        break;
    default:  // ID_STARCRAFT_BATTLENET and anything unknown
        game = 0;
        break;
    }
    SelectServerGroup(file1, file2, game);
    return 0;
}

void CPingView::SelectServerGroup(const wchar_t* file1, const wchar_t* file2, int game) {
    if (!StopSweep()) return;
    if (::SendMessageW(m_serverList, LVM_GETITEMCOUNT, 0, 0) != 0) ClearServerList();
    g_nCurrentGame = game;

    std::wstring folder = CAppBase::ProgramFolder();
    if (!LoadServerList(folder + file1)) return;
    if (file2 && CAppBase::FileExists(folder + file2)) LoadServerList(folder + file2);

    auto sweep = CSweepThread::Create(&CPingView::SweepThreadProc, m_serverList.GetHwnd(), m_entries);
    if (!sweep) return;
    // Stored before the thread runs, so its final clearing always comes after.
    m_pSweep = sweep;
    g_pSweepThread = sweep.get();
    sweep->Resume();
}

BOOL CPingView::StopSweep() {
    CSweepThread* running = g_pSweepThread;
    if (!running || !m_pSweep) {
        g_bStopSweep = false;
        m_pSweep.reset();
        return TRUE;
    }
    g_bStopSweep = true;
    HCURSOR previous = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    DWORD r = WaitAnsweringSentMessages(m_pSweep->GetHandle(), kStopSweepTimeoutMs);
    ::SetCursor(previous);
    g_bStopSweep = false;
    // Forget the thread either way; one that did not end stops on its own at
    // its next check, since it is no longer the current sweep.
    CSweepThread* expected = running;
    g_pSweepThread.compare_exchange_strong(expected, nullptr);
    m_pSweep.reset();
    return r == WAIT_OBJECT_0 ? TRUE : FALSE;
}

void CPingView::ClearServerList() {
    if (m_serverList.GetHwnd()) ::SendMessageW(m_serverList, LVM_DELETEALLITEMS, 0, 0);
    // A sweep still holding an entry keeps it alive until it ends.
    m_entries.clear();
}

bool CPingView::LoadServerList(const std::wstring& path) {
    std::vector<ServerLine> lines;
    if (!CServerListFile::Read(path, lines)) {
        CAppBase* app = CAppBase::Get();
        std::wstring text = L"서버 목록 파일을 열 수 없습니다.\n" + path;
        if (app) app->MessageBox(text, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    for (auto& line : lines) {
        auto entry = std::make_shared<CServerEntry>(line.name, line.address);
        entry->m_pOwnerView = this;
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        item.iItem = static_cast<int>(::SendMessageW(m_serverList, LVM_GETITEMCOUNT, 0, 0));
        item.pszText = LPSTR_TEXTCALLBACKW;
        item.cchTextMax = MAX_PATH;
        item.iImage = I_IMAGECALLBACK;
        item.lParam = reinterpret_cast<LPARAM>(entry.get());
        if (::SendMessageW(m_serverList, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)) < 0) continue;
        m_entries.push_back(std::move(entry));
    }
    return true;
}

UINT CPingView::SweepThreadProc(CSweepThread* thread) {
    HWND list = thread->GetList();
    // Measured in list order; entries loaded after the start are not measured.
    for (const auto& entry : thread->GetEntries()) {
        entry->m_wResponse = RESPONSE_MEASURING;
        ::InvalidateRect(list, nullptr, TRUE);
        g_pProbedEntry = entry.get();
        entry->MeasureResponse();
        CServerEntry* probed = entry.get();
        g_pProbedEntry.compare_exchange_strong(probed, nullptr);
        if (g_bStopSweep || g_pSweepThread != thread) return 0;
        ::InvalidateRect(list, nullptr, TRUE);
    }
    ::SendMessageW(list, LVM_SORTITEMS, 0, reinterpret_cast<LPARAM>(&CPingView::CompareResponse));
    CSweepThread* self = thread;
    g_pSweepThread.compare_exchange_strong(self, nullptr);
    return 0;
}

int CALLBACK CPingView::CompareResponse(LPARAM a, LPARAM b, LPARAM) {
    WORD ra = reinterpret_cast<CServerEntry*>(a)->m_wResponse;
    WORD rb = reinterpret_cast<CServerEntry*>(b)->m_wResponse;
    if (ra == rb) return 0;
    return ra < rb ? -1 : 1;
}

bool CPingView::IsCurrentEntry(const CServerEntry* entry) const {
    return std::any_of(m_entries.begin(), m_entries.end(), [entry](const auto& e) { return e.get() == entry; });
}

LRESULT CPingView::OnFolderBarChanged() {
    // Stop first: the sweep must not go on reporting into a list being emptied.
    StopSweep();
    if (::SendMessageW(m_serverList, LVM_GETITEMCOUNT, 0, 0) != 0) ClearServerList();
    return 0;
}

LRESULT CPingView::OnConnect(WPARAM socket, LPARAM event) {
    if (WSAGETSELECTEVENT(event) != FD_CONNECT) {
        ::OutputDebugStringW(L"CPingView::OnConnect, Unknown event\n");
        return 1;
    }
    // Any answer counts, refused included, but only for the probe under way.
    CServerEntry* entry = g_pProbedEntry;
    if (entry && IsCurrentEntry(entry) && entry->m_socket == static_cast<SOCKET>(socket))
        ::SetEvent(entry->m_hConnectEvent.Get());
    return 1;
}

// ---- Battle.net configuration and game start ----

const wchar_t* CPingView::ProgramKey(int game) {
    return game >= 0 && game < 4 ? kGames[game].profileKey : kGames[0].profileKey;
}

void CPingView::WriteServerList(const std::wstring& address) {
    // Opened, never created: a machine without Battle.net gets nothing written.
    HKEY raw = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kBattleNetKey, 0, KEY_WRITE, &raw) != ERROR_SUCCESS) return;
    UniqueRegKey key(raw);
    ::RegSetValueExW(key.Get(), L"Server List", 0, REG_SZ, reinterpret_cast<const BYTE*>(address.c_str()),
                     static_cast<DWORD>((address.size() + 1) * sizeof(wchar_t)));
}

std::wstring CPingView::ReadProgramValue(const wchar_t* keyPath) {
    HKEY raw = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &raw) != ERROR_SUCCESS) return std::wstring();
    UniqueRegKey key(raw);
    wchar_t buffer[MAX_PATH + 1] = {};
    DWORD type = 0;
    DWORD size = MAX_PATH * sizeof(wchar_t);
    if (::RegQueryValueExW(key.Get(), L"Program", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::wstring();
    buffer[size / sizeof(wchar_t)] = L'\0';
    return buffer;
}

void CPingView::FillProgramPaths() {
    CAppBase* app = CAppBase::Get();
    if (!app) return;
    std::wstring paths[4];
    for (int i = 0; i < 4; ++i) paths[i] = app->GetProfileString(kProgramSection, kGames[i].profileKey, L"");
    for (int i = 0; i < 4; ++i) {
        if (!paths[i].empty()) continue;
        paths[i] = kGames[i].registryKey ? ReadProgramValue(kGames[i].registryKey) : kGames[i].fixedPath;
    }
    for (int i = 0; i < 4; ++i) app->WriteProfileString(kProgramSection, kGames[i].profileKey, paths[i]);
}

LRESULT CPingView::OnLaunchBattleNet(CServerEntry* entry) {
    if (g_pSweepThread) return 0;
    // The pointer came through the message queue: use it only if the row still exists.
    if (!IsCurrentEntry(entry)) return 0;
    WriteServerList(entry->m_strAddress);
    ::PlaySoundW(nullptr, nullptr, SND_NODEFAULT);

    CAppBase* app = CAppBase::Get();
    std::wstring path = app ? app->GetProfileString(kProgramSection, ProgramKey(g_nCurrentGame), L"") : L"";
    const wchar_t* question = nullptr;
    if (path.empty())
        question = L"프로그램이 설정되지 않았습니다.\n프로그램을 설정하시겠습니까?";
    else if (!CAppBase::FileExists(path))
        question = L"실행 프로그램을 찾을 수 없습니다.\n프로그램을 설정하시겠습니까?";
    if (question) {
        if (app && app->MessageBox(question, MB_YESNO) == IDYES) g_bShowProgramPage = TRUE;
        ::PostMessageW(m_hWnd, WM_COMMAND, ID_SETUP, 0);
        return 0;
    }

    std::wstring folder = path;
    CAppBase::StripFileName(folder);
    HWND main = app ? app->GetMainWnd() : nullptr;
    ::ShellExecuteW(main, L"open", path.c_str(), nullptr, folder.c_str(), SW_SHOWNORMAL);
    return 1;
}

void CPingView::OnSetup() {
    // A Yes to the launch question is consumed by the next Setup, which picks
    // the sheet's program page with it.
    g_bShowProgramPage = FALSE;
}
