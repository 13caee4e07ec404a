#include "LauncherFixture.h"

#include <commctrl.h>
#include <prsht.h>

#include <cstdlib>

#include "AppBase.h"
#include "Layout.h"
#include "Messages.h"
#include "resource.h"

namespace testing_support {

static void RemoveLists() {
    for (const wchar_t* f : {L"Blizzard.txt", L"Free.txt", L"User.txt"}) ::DeleteFileW((TestFolder() + f).c_str());
}

std::string Show(const std::vector<ServerRow>& rows) {
    std::string s;
    for (const auto& r : rows) s += ToUtf8(r.name + L" | " + r.address + L" | " + r.response) + "\n";
    return s;
}
int Millis(const std::wstring& response) {
    int ms = _wtoi(response.c_str());
    return std::to_wstring(ms) + L"ms" == response ? ms : -1;
}

void LauncherFixture::SetUp() {
    ASSERT_TRUE(Servers().ok()) << "no stand-in servers on loopback";
    RemoveLists();
    OpenFrame();
}
void LauncherFixture::TearDown() {
    MouseUp();
    CloseFrame();
    RemoveLists();
}

void LauncherFixture::OpenFrame() {
    m_frame = std::make_unique<CMainFrame>();
    ASSERT_TRUE(m_frame->LoadFrame(IDR_MAINFRAME));
    CAppBase::Get()->SetMainWnd(m_frame->GetHwnd());
    ::SetForegroundWindow(m_frame->GetHwnd());
    Pump(100);
}
void LauncherFixture::CloseFrame() {
    m_frame.reset();
    CAppBase::Get()->SetMainWnd(nullptr);
    Pump(50);  // takes the frame's quit message off the queue
}

std::vector<ServerRow> LauncherFixture::Rows() {
    std::vector<ServerRow> rows;
    for (int i = 0, n = ListItemCount(List()); i < n; ++i)
        rows.push_back({ListItemText(List(), i, 0), ListItemText(List(), i, 1), ListItemText(List(), i, 2)});
    return rows;
}

void LauncherFixture::Choose(WPARAM folder, LPARAM item) { ::PostMessageW(View(), WM_GET_RESPONSE_TIME, folder, item); }
bool LauncherFixture::WaitProbing(int row, DWORD timeoutMs) {
    return PumpUntil([&] { return ListItemText(List(), row, 2) == kConnecting; }, timeoutMs);
}
bool LauncherFixture::WaitIdle(DWORD timeoutMs) {
    return PumpUntil([&] { return PostedQueueEmpty() && !CServerGroup::IsSweeping(); }, timeoutMs);
}

void LauncherFixture::DoubleClickRow(const std::wstring& address) {
    int row = FindListItem(List(), 1, address);
    ASSERT_GE(row, 0) << "no row for " << ToUtf8(address);
    POINT pt = ListItemPoint(List(), row);
    DoubleClickAt(pt.x, pt.y);
    Pump(200);
}

std::vector<std::wstring> LauncherFixture::DoubleClickAndAnswer(const std::wstring& address, int button,
                                                               std::function<void(HWND)> onBox) {
    MessageBoxAnswerer answerer(button, std::move(onBox));
    DoubleClickRow(address);
    PumpUntil([&] { return !answerer.Texts().empty(); }, 10000);
    return answerer.Texts();
}

void DriveSetupSheet(const std::function<void()>& open, const std::function<void(HWND)>& steps) {
    std::thread driver = DriveDialog(L"환경설정", [&](HWND sheet) {
        EXPECT_NE(sheet, nullptr) << "no sheet";
        if (!sheet) return;
        steps(sheet);
        for (int i = 0; i < 20 && ::IsWindow(sheet); ++i, Pump(300)) {
            HWND top = ::GetLastActivePopup(sheet);
            ::PostMessageW(top, WM_COMMAND, top == sheet ? IDCANCEL : IDNO, 0);
            ::PostMessageW(top, WM_COMMAND, IDCANCEL, 0);
        }
    });
    open();
    driver.join();
}

HWND FolderBar(HWND view) { return ::FindWindowExW(view, nullptr, nullptr, L"Folder"); }
HWND VolumeStrip(HWND view) { return ::ChildWindowFromPoint(view, Centre(Layout::kVolume)); }

HWND SheetPage(HWND sheet) { return reinterpret_cast<HWND>(::SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0)); }

OwnFolderLauncher::OwnFolderLauncher(const std::wstring& name) : m_exe(m_folder.path + name) {
    EXPECT_TRUE(CopyFileTo(DistFolder() + L"Orvn.exe", m_exe));
}

bool OwnFolderLauncher::Start(DWORD timeoutMs) {
    if (!StartProcess(m_exe, L"", m_folder.path, &m_process)) return false;
    return PumpUntil([&] { return (m_frame = FindTopLevel(L"Orvane", m_process.pid)) != nullptr; }, timeoutMs);
}

DWORD OwnFolderLauncher::Exit(DWORD timeoutMs) {
    POINT exit = Centre(Layout::kExitButton);
    POINT button = ClientToScreenPoint(View(), exit.x, exit.y);
    ClickAt(button.x, button.y);
    return m_process.Wait(timeoutMs);
}

StandInServers& LauncherFixture::Servers() {
    static StandInServers* servers = new StandInServers;  // lives until the process ends
    return *servers;
}

}  // namespace testing_support
