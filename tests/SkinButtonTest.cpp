// A real skin button under the real mouse, its look read back against the strip's cells in the program file.
#include <gtest/gtest.h>

#include "SkinButton.h"
#include "TestSupport.h"
#include "resource.h"

using namespace testing_support;

constexpr int kWidth = 88, kHeight = 35;

TEST(SkinButton, HoverLightsItAPressAfterAMoveCommandsOnceAndLeavingInAnyWayEndsTheHover) {
    Canvas normal(kWidth, kHeight), hover(kWidth, kHeight);
    ASSERT_TRUE(normal.DrawResource(IDB_BUTTONS, 0, 0, 0, 0, kWidth, kHeight));
    ASSERT_TRUE(hover.DrawResource(IDB_BUTTONS, 0, 0, 0, 2 * kHeight, kWidth, kHeight));
    CRecordingWindow parent;
    ASSERT_TRUE(parent.Create(WS_POPUP | WS_VISIBLE, RECT{200, 200, 500, 350}));
    ::SetForegroundWindow(parent);
    // The button appears under the resting pointer.
    POINT rest = ClientToScreenPoint(parent, 40 + 30, 30 + 17);
    MouseMoveTo(rest.x, rest.y);
    Pump(200);
    CSkinButton button;
    ASSERT_TRUE(button.Create(L"Exit", RECT{40, 30, 40 + kWidth, 30 + kHeight}, parent, ID_APP_EXIT));
    ASSERT_TRUE(button.LoadSkin(IDB_BUTTONS, kWidth, kHeight));
    button.SetCells(0, 2);
    Pump(200);
    ASSERT_EQ(::WindowFromPoint(rest), button.GetHwnd());
    auto looks = [&](const Canvas& cell) {
        // The caption is drawn by the button, not taken from the strip.
        RECT area{0, 0, kWidth, kHeight}, caption{10, 10, 78, 25};
        return PumpUntil([&] { return Differences(Canvas(button), cell, area, caption) == 0; }, 2000);
    };

    // Pressed before any movement, it does nothing.
    MouseDown();
    MouseUp();
    Pump(200);
    EXPECT_TRUE(parent.commands.empty());
    EXPECT_TRUE(looks(normal));
    // The first movement lights it; a press posts the command once, before the release.
    MoveTo(button, 33, 17);
    EXPECT_TRUE(looks(hover));
    MouseDown();
    ASSERT_TRUE(PumpUntil([&] { return !parent.commands.empty(); }, 2000)) << "no WM_COMMAND while held down";
    EXPECT_EQ(parent.commands[0].first, static_cast<WPARAM>(ID_APP_EXIT)) << "id, notification code 0";
    EXPECT_EQ(parent.commands[0].second, 0) << "no control handle";
    EXPECT_EQ(::GetFocus(), button.GetHwnd());
    MouseUp();
    Pump(200);
    EXPECT_EQ(parent.commands.size(), 1u) << "nothing on the release";

    // Leaving onto the parent returns the normal look and the mouse.
    MoveTo(button, 30, 17);
    EXPECT_TRUE(looks(hover));
    MoveTo(button, 30, kHeight + 20);
    EXPECT_TRUE(looks(normal)) << "pointer left the button";
    EXPECT_EQ(::GetCapture(), nullptr);
    // So does another window taking the mouse, which keeps it.
    MoveTo(button, 30, 17);
    EXPECT_TRUE(looks(hover));
    ::SetCapture(parent);
    EXPECT_TRUE(looks(normal)) << "capture lost";
    EXPECT_EQ(::GetCapture(), parent.GetHwnd());
    ::ReleaseCapture();
    EXPECT_EQ(parent.commands.size(), 1u);
}
