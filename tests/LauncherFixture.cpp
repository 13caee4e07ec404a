#include "LauncherFixture.h"

#include <commctrl.h>

#include <cwchar>

#include "AppBase.h"
#include "Messages.h"
#include "resource.h"

namespace testing_support {

const wchar_t kConnecting[] = L"접속중...";
const wchar_t kFailed[] = L"접속 실패";

std::vector<ServerRow> ServerRows(HWND list) {
    std::vector<ServerRow> rows;
    for (int i = 0, n = ListItemCount(list); i < n; ++i)
        rows.push_back({ListItemText(list, i, 0), ListItemText(list, i, 1), ListItemText(list, i, 2)});
    return rows;
}

std::string Show(const std::vector<ServerRow>& rows) {
    std::string s;
    for (const auto& r : rows) {
        for (const std::wstring* part : {&r.name, &r.address, &r.response}) s += ToUtf8(*part) + " | ";
        s += "\n";
    }
    return s;
}

int Millis(const std::wstring& response) {
    unsigned ms = 0;
    if (swscanf(response.c_str(), L"%u", &ms) != 1 || std::to_wstring(ms) + L"ms" != response) return -1;
    return static_cast<int>(ms);
}

void LauncherFixture::SetUp() {
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

void LauncherFixture::Choose(WPARAM folder, LPARAM item) { ::PostMessageW(View(), WM_GET_RESPONSE_TIME, folder, item); }

bool LauncherFixture::WaitProbing(int row, DWORD timeoutMs) {
    return PumpUntil([&] { return ListItemText(List(), row, 2) == kConnecting; }, timeoutMs);
}

bool LauncherFixture::WaitIdle(DWORD timeoutMs) {
    return PumpUntil([] { return PostedQueueEmpty() && !g_pSweepThread; }, timeoutMs);
}

void LauncherFixture::DoubleClickRow(const std::wstring& address) {
    HWND list = List();
    for (int i = 0, n = ListItemCount(list); i < n; ++i) {
        if (ListItemText(list, i, 1) != address) continue;
        RECT r{LVIR_BOUNDS, 0, 0, 0};
        ::SendMessageW(list, LVM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r));
        POINT pt = ClientToScreenPoint(list, r.left + 30, (r.top + r.bottom) / 2);
        DoubleClickAt(pt.x, pt.y);
        Pump(200);
        return;
    }
    ADD_FAILURE() << "no row for " << ToUtf8(address);
}

StandInServers& LauncherFixture::Servers() {
    static StandInServers* servers = new StandInServers;  // lives until the process ends
    return *servers;
}

void LauncherFixture::WriteList(const wchar_t* file, const ServerList& servers) {
    ASSERT_TRUE(WriteListFile(TestFolder() + file, servers));
}

void LauncherFixture::RemoveLists() {
    for (const wchar_t* f : {L"Blizzard.txt", L"Free.txt", L"User.txt"}) ::DeleteFileW((TestFolder() + f).c_str());
}

}  // namespace testing_support
