// The launcher's shell: the real Orvn.exe started as a user starts it, its frame
// and view inspected from outside, and the path helpers.
#include <windows.h>

#include <gtest/gtest.h>

#include "AppBase.h"
#include "MainFrame.h"
#include "TestSupport.h"
#include "resource.h"

using namespace testing_support;

namespace {

HWND WaitForLauncher(DWORD pid) {
    HWND frame = nullptr;
    PumpUntil([&] { return (frame = FindTopLevel(L"Orvane", pid)) != nullptr; }, 20000);
    return frame;
}

}  // namespace

TEST(Spine, FrameIsCentredBorderlessPopupWithViewAndEndsOnExit) {
    Process launcher;
    ASSERT_TRUE(StartProcess(DistFolder() + L"Orvn.exe", L"", DistFolder(), &launcher));
    HWND frame = WaitForLauncher(launcher.pid);
    ASSERT_NE(frame, nullptr) << "no window titled Orvane";

    ASSERT_EQ(::GetSystemMetrics(SM_CXSCREEN), 1024);
    ASSERT_EQ(::GetSystemMetrics(SM_CYSCREEN), 768);
    RECT r;
    ::GetWindowRect(frame, &r);
    EXPECT_EQ(r.left, 192);
    EXPECT_EQ(r.top, 144);
    EXPECT_EQ(r.right - r.left, 640);
    EXPECT_EQ(r.bottom - r.top, 480);

    LONG style = ::GetWindowLongW(frame, GWL_STYLE);
    EXPECT_EQ(style & (WS_POPUP | WS_VISIBLE | WS_BORDER), WS_POPUP | WS_VISIBLE | WS_BORDER);
    EXPECT_EQ(style & WS_DLGFRAME, 0) << "no caption";
    EXPECT_EQ(style & WS_THICKFRAME, 0);
    EXPECT_EQ(style & WS_SYSMENU, 0);
    EXPECT_EQ(::GetWindowLongW(frame, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
    EXPECT_EQ(::GetMenu(frame), nullptr) << "menu 128 is loaded but removed";

    // The view fills the client area.
    HWND view = ::GetDlgItem(frame, AFX_IDW_PANE_FIRST);
    ASSERT_NE(view, nullptr) << "child 59648";
    RECT client, viewRect;
    ::GetClientRect(frame, &client);
    ::GetWindowRect(view, &viewRect);
    ::MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&viewRect), 2);
    EXPECT_EQ(viewRect.left, 0);
    EXPECT_EQ(viewRect.top, 0);
    EXPECT_EQ(viewRect.right, client.right);
    EXPECT_EQ(viewRect.bottom, client.bottom);
    EXPECT_EQ(client.right, 638) << "640 less the one-pixel border on each side";
    LONG viewStyle = ::GetWindowLongW(view, GWL_STYLE);
    EXPECT_EQ(viewStyle & WS_BORDER, 0);
    EXPECT_NE(::GetWindowLongW(view, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);

    // Focus given to the frame goes on to the view.
    DWORD thread = ::GetWindowThreadProcessId(frame, nullptr);
    ::SetForegroundWindow(frame);
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(PumpUntil([&] { return ::GetGUIThreadInfo(thread, &info) && info.hwndFocus == view; }, 5000))
        << "focus is on " << info.hwndFocus;

    // Pressing the Exit button ends the program with exit code 0: the pointer
    // moves onto the button (it lights up), then the press.
    POINT exitButton = ClientToScreenPoint(view, 581, 452);
    MouseMoveTo(exitButton.x - 20, exitButton.y);
    MouseMoveTo(exitButton.x, exitButton.y);
    MouseDown();
    MouseUp();
    EXPECT_EQ(launcher.Wait(10000), 0u);
    if (launcher.Wait(0) == STILL_ACTIVE) ::TerminateProcess(launcher.process, 1);
}

TEST(Spine, WindowClassesOfFrameAndView) {
    // Class details are only readable inside the process that registered them.
    CMainFrame frame;
    ASSERT_TRUE(frame.LoadFrame(IDR_MAINFRAME));
    HWND view = frame.GetView().GetHwnd();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(::GetDlgCtrlID(view), AFX_IDW_PANE_FIRST);
    EXPECT_EQ(static_cast<UINT>(::GetClassLongW(view, GCL_STYLE)), static_cast<UINT>(CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(::GetClassLongPtrW(view, GCLP_HBRBACKGROUND), static_cast<ULONG_PTR>(COLOR_WINDOW + 1));
    EXPECT_EQ(reinterpret_cast<HCURSOR>(::GetClassLongPtrW(view, GCLP_HCURSOR)), ::LoadCursorW(nullptr, IDC_ARROW));
    EXPECT_EQ(::GetClassLongPtrW(view, GCLP_HICON), 0u);
    EXPECT_EQ(static_cast<UINT>(::GetClassLongW(frame, GCL_STYLE)), 0u);
    EXPECT_EQ(::GetClassLongPtrW(frame, GCLP_HCURSOR), 0u);
    EXPECT_EQ(::GetClassLongPtrW(frame, GCLP_HBRBACKGROUND), 0u);
    EXPECT_EQ(::GetClassLongPtrW(frame, GCLP_HICON), 0u);
    wchar_t text[64] = {};
    ::GetWindowTextW(frame, text, 64);
    EXPECT_STREQ(text, L"Orvane");

    ::SetFocus(frame);
    Pump(50);
    EXPECT_EQ(::GetFocus(), view);
}

TEST(Spine, CentringRoundsHalvesTowardZero) {
    // Small screens give negative positions; odd differences round toward zero.
    int screens[][4] = {{1024, 768, 192, 144}, {641, 481, 0, 0}, {639, 479, 0, 0}, {600, 400, -20, -40}};
    for (auto& s : screens) {
        RECT r = CMainFrame::CentredRect(s[0], s[1], 640, 480);
        EXPECT_EQ(r.left, s[2]) << s[0];
        EXPECT_EQ(r.top, s[3]) << s[1];
        EXPECT_EQ(r.right - r.left, 640);
        EXPECT_EQ(r.bottom - r.top, 480);
    }
}

TEST(PathHelpers, StripFileNameCutsAfterLastBackslash) {
    wchar_t path[MAX_PATH] = L"C:\\Games\\Orvane\\Orvn.exe";
    CAppBase::StripFileName(path);
    EXPECT_STREQ(path, L"C:\\Games\\Orvane\\");

    wchar_t bare[MAX_PATH] = L"Orvn.exe";
    CAppBase::StripFileName(bare);
    EXPECT_STREQ(bare, L"Orvn.exe");

    wchar_t empty[MAX_PATH] = L"";
    CAppBase::StripFileName(empty);
    EXPECT_STREQ(empty, L"");

    wchar_t trailing[MAX_PATH] = L"C:\\Games\\";
    CAppBase::StripFileName(trailing);
    EXPECT_STREQ(trailing, L"C:\\Games\\");

    std::wstring s = L"D:\\a\\b\\c.txt";
    CAppBase::StripFileName(s);
    EXPECT_EQ(s, L"D:\\a\\b\\");
    std::wstring none = L"c.txt";
    CAppBase::StripFileName(none);
    EXPECT_EQ(none, L"c.txt");
}

TEST(PathHelpers, FileExistsFindsFilesAndWildcards) {
    std::wstring folder = MakeTempFolder(L"orvn_exists");
    ASSERT_TRUE(WriteFileBytes(folder + L"Blizzard.txt", "a,1.2.3.4\r\n"));
    EXPECT_TRUE(CAppBase::FileExists(folder + L"Blizzard.txt"));
    EXPECT_FALSE(CAppBase::FileExists(folder + L"User.txt"));
    EXPECT_TRUE(CAppBase::FileExists(folder + L"*.txt"));
    EXPECT_TRUE(CAppBase::FileExists(folder + L"Bliz?ard.txt"));
    EXPECT_FALSE(CAppBase::FileExists(folder + L"*.exe"));
    EXPECT_FALSE(CAppBase::FileExists(L""));
    RemoveFolder(folder);
    EXPECT_FALSE(CAppBase::FileExists(folder + L"Blizzard.txt"));
}
