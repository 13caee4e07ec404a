// The skin button as the user meets it: real buttons in a real top-level
// window, the real mouse, the command caught where it arrives and the look
// read back from the screen and compared with the strip's cells.
#include <gtest/gtest.h>

#include "DIB.h"
#include "SkinButton.h"
#include "TestSupport.h"
#include "resource.h"

using namespace testing_support;

namespace {

constexpr int kX = 40, kY = 30, kWidth = 88, kHeight = 35;

// Pixels that differ in columns [fromX, toX), outside the caption area (10, 10)-(78, 25).
int Differences(const Canvas& a, const Canvas& b, int fromX = 0, int toX = kWidth) {
    int n = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = fromX; x < toX; ++x)
            if (!(x >= 10 && x < 78 && y >= 10 && y < 25) && a.At(x, y) != b.At(x, y)) ++n;
    return n;
}

class SkinButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        MouseMoveTo(5, 5);  // away from everything made here
        ASSERT_TRUE(m_parent.Create(WS_POPUP | WS_VISIBLE, RECT{200, 200, 500, 350}));
        ::SetForegroundWindow(m_parent);
        Pump(100);
        CDIB strip;
        strip.LoadFromResource(IDB_BUTTONS);
        strip.SetDrawSize(SIZE{kWidth, kHeight});
        strip.DrawCell(m_normal.dc(), 0, 0, 0);
        strip.DrawCell(m_hover.dc(), 0, 0, 2);
        ASSERT_GT(Differences(m_normal, m_hover), 1000) << "the looks must be told apart";
    }

    void MakeButton(CSkinButton& button, const wchar_t* caption, int x, int y, UINT id) {
        ASSERT_TRUE(button.Create(caption, RECT{x, y, x + kWidth, y + kHeight}, m_parent, id));
        ASSERT_TRUE(button.LoadSkin(IDB_BUTTONS, kWidth, kHeight));
        button.SetCells(0, 2);
        ::InvalidateRect(button, nullptr, TRUE);
        Pump(100);
    }
    bool Looks(HWND button, const Canvas& cell, int fromX = 0, int toX = kWidth) {
        return PumpUntil([&] { return Differences(Canvas(button), cell, fromX, toX) == 0; }, 2000);
    }
    void MoveTo(HWND button, int x, int y) {
        POINT pt = ClientToScreenPoint(button, x, y);
        MouseMoveTo(pt.x, pt.y);
    }
    size_t Commands() const { return m_parent.received.size(); }

    CRecordingWindow m_parent{{WM_COMMAND}};
    Canvas m_normal{kWidth, kHeight}, m_hover{kWidth, kHeight};
};

}  // namespace

TEST_F(SkinButtonTest, HoverLightsUpAndPressPostsOneCommandBeforeRelease) {
    CSkinButton button;
    MakeButton(button, L"Setup", kX, kY, ID_SETUP);
    EXPECT_TRUE(Looks(button, m_normal)) << "normal look before the pointer comes";
    MoveTo(button, 30, 17);
    EXPECT_TRUE(Looks(button, m_hover)) << "lit while the pointer is over it";
    MoveTo(button, 60, 5);
    EXPECT_TRUE(Looks(button, m_hover)) << "still lit inside";

    MouseDown();
    ASSERT_TRUE(PumpUntil([&] { return Commands() > 0; }, 2000)) << "no WM_COMMAND while held down";
    EXPECT_EQ(m_parent.received[0].wParam, static_cast<WPARAM>(ID_SETUP)) << "id, notification code 0";
    EXPECT_EQ(m_parent.received[0].lParam, 0) << "no control handle";
    EXPECT_EQ(::GetFocus(), button.GetHwnd());
    MouseUp();
    Pump(200);
    EXPECT_EQ(Commands(), 1u) << "once per press, nothing on the release";

    // Leaving the button (onto the parent) returns the normal look.
    MoveTo(button, 30, 17);
    EXPECT_TRUE(Looks(button, m_hover));
    MoveTo(button, 30, kHeight + 20);
    EXPECT_TRUE(Looks(button, m_normal)) << "pointer left the button";
    EXPECT_EQ(::GetCapture(), nullptr);

    // Another window taking the capture returns the normal look and keeps its capture.
    MoveTo(button, 30, 17);
    EXPECT_TRUE(Looks(button, m_hover));
    ::SetCapture(m_parent);
    EXPECT_TRUE(Looks(button, m_normal)) << "capture lost";
    EXPECT_EQ(::GetCapture(), m_parent.GetHwnd());
    ::ReleaseCapture();
    Pump(100);
    EXPECT_EQ(Commands(), 1u);
}

TEST_F(SkinButtonTest, PressWithoutMoveDoesNothingAndACoveredPartIsNotTheButton) {
    // The button appears under the resting pointer and is pressed without any movement.
    POINT rest = ClientToScreenPoint(m_parent, kX + 30, kY + 17);
    MouseMoveTo(rest.x, rest.y);
    Pump(200);
    CSkinButton button;
    MakeButton(button, L"Exit", kX, kY, ID_APP_EXIT);
    Pump(200);
    ASSERT_EQ(::WindowFromPoint(rest), button.GetHwnd());
    MouseDown();
    MouseUp();
    Pump(200);
    EXPECT_EQ(Commands(), 0u);
    EXPECT_TRUE(Looks(button, m_normal));
    // The first movement lights it; then a press counts.
    MouseMoveTo(rest.x + 3, rest.y);
    EXPECT_TRUE(Looks(button, m_hover));
    MouseDown();
    MouseUp();
    EXPECT_TRUE(PumpUntil([&] { return Commands() == 1; }, 2000));

    // A window of its own over the right half: the pointer moving onto it is off the button.
    POINT corner = ClientToScreenPoint(button, 50, 0);
    CRecordingWindow cover({});
    ASSERT_TRUE(cover.Create(WS_POPUP | WS_VISIBLE, RECT{corner.x, corner.y, corner.x + 60, corner.y + kHeight}));
    Pump(100);
    MoveTo(button, 20, 17);
    EXPECT_TRUE(Looks(button, m_hover, 0, 50));
    MoveTo(button, 70, 17);
    EXPECT_TRUE(Looks(button, m_normal, 0, 50)) << "normal once another window is under the pointer";
    EXPECT_NE(::GetCapture(), button.GetHwnd());
}
