// The launcher's shell: the real Orvn.exe started as a user starts it, its frame
// and view inspected from outside.
#include <gtest/gtest.h>

#include "MainFrame.h"
#include "TestSupport.h"
#include "resource.h"

using namespace testing_support;

TEST(Spine, FrameIsCentredBorderlessPopupWithViewAndEndsOnExit) {
    Process launcher;
    ASSERT_TRUE(StartProcess(DistFolder() + L"Orvn.exe", L"", DistFolder(), &launcher));
    HWND frame = nullptr;
    PumpUntil([&] { return (frame = FindTopLevel(L"Orvane", launcher.pid)) != nullptr; }, 20000);
    ASSERT_NE(frame, nullptr) << "no window titled Orvane";

    ASSERT_EQ(::GetSystemMetrics(SM_CXSCREEN), 1024);
    RECT r;
    ::GetWindowRect(frame, &r);
    EXPECT_EQ(r.left, 192);
    EXPECT_EQ(r.top, 144);
    EXPECT_EQ(r.right - r.left, 640);
    EXPECT_EQ(r.bottom - r.top, 480);
    LONG style = ::GetWindowLongW(frame, GWL_STYLE);
    EXPECT_EQ(style & (WS_POPUP | WS_VISIBLE | WS_BORDER | WS_DLGFRAME | WS_THICKFRAME | WS_SYSMENU),
              WS_POPUP | WS_VISIBLE | WS_BORDER)
        << "no caption, no sizing frame, no system menu";
    EXPECT_EQ(::GetMenu(frame), nullptr) << "menu 128 is loaded but removed";

    // The view fills the client area, sunken.
    HWND view = ::GetDlgItem(frame, AFX_IDW_PANE_FIRST);
    ASSERT_NE(view, nullptr) << "child 59648";
    RECT client, viewRect;
    ::GetClientRect(frame, &client);
    ::GetWindowRect(view, &viewRect);
    ::MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&viewRect), 2);
    EXPECT_EQ(client.right, 638) << "640 less the one-pixel border on each side";
    EXPECT_TRUE(::EqualRect(&viewRect, &client));
    EXPECT_NE(::GetWindowLongW(view, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);

    // Focus given to the frame goes on to the view.
    DWORD thread = ::GetWindowThreadProcessId(frame, nullptr);
    ::SetForegroundWindow(frame);
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    EXPECT_TRUE(PumpUntil([&] { return ::GetGUIThreadInfo(thread, &info) && info.hwndFocus == view; }, 5000));

    // The pointer moves onto the Exit button (it lights up), then the press ends the program.
    POINT exitButton = ClientToScreenPoint(view, 581, 452);
    MouseMoveTo(exitButton.x - 20, exitButton.y);
    MouseMoveTo(exitButton.x, exitButton.y);
    MouseDown();
    MouseUp();
    EXPECT_EQ(launcher.Wait(10000), 0u);
    if (launcher.Wait(0) == STILL_ACTIVE) ::TerminateProcess(launcher.process, 1);
}

TEST(Spine, SmallScreensCentreWithHalvesTowardZero) {
    const int screens[][4] = {{641, 481, 0, 0}, {639, 479, 0, 0}, {600, 400, -20, -40}};
    for (auto& s : screens) {
        RECT r = CMainFrame::CentredRect(s[0], s[1], 640, 480);
        EXPECT_EQ(r.left, s[2]) << s[0];
        EXPECT_EQ(r.top, s[3]) << s[1];
        EXPECT_EQ(r.right - r.left, 640);
    }
}
