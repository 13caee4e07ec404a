// The view as a person uses it with the mouse: the links painted in the skin,
// dragging the window, the hot-spot cursor, and the folder bar driving the sweep.
#include <gtest/gtest.h>

#include "LauncherFixture.h"

using namespace testing_support;

namespace {

class ViewTest : public LauncherFixture {
protected:
    POINT Screen(int x, int y) { return ClientToScreenPoint(View(), x, y); }
    RECT FrameRect() {
        RECT r;
        ::GetWindowRect(m_frame->GetHwnd(), &r);
        return r;
    }
};

}  // namespace

TEST_F(ViewTest, LinksOpenTheirSitesAndAClickOnOneDragsNothing) {
    struct Spot {
        int x, y;
        const wchar_t* link;
    };
    // The logo, then the panel's link lines where the news panel does not cover them.
    const Spot spots[] = {{20, 30, ORVN_HOME_URL}, {443, 395, ORVN_PORTAL_URL}, {625, 415, ORVN_HOME2_URL}};
    for (const Spot& spot : spots) {
        UrlHandlerStandIn handler(TestFolder() + L"GameStandIn.exe");
        RECT before = FrameRect();
        POINT pt = Screen(spot.x, spot.y);
        MouseMoveTo(pt.x, pt.y);
        MouseDown();
        EXPECT_NE(::GetCapture(), View().GetHwnd()) << "a link click starts no drag";
        MouseMoveTo(pt.x + 40, pt.y + 40);
        MouseUp();
        EXPECT_EQ(FrameRect().left, before.left);
        EXPECT_EQ(FrameRect().top, before.top);
        std::wstring args = handler.Arguments(8000);
        EXPECT_NE(args.find(spot.link), std::wstring::npos) << spot.x << "," << spot.y << " opened " << ToUtf8(args);
    }
}

TEST_F(ViewTest, DraggingMovesTheFrameAndKeepsItsSize) {
    RECT before = FrameRect();
    POINT pt = Screen(300, 20);
    MouseMoveTo(pt.x, pt.y);
    MouseDown();
    EXPECT_EQ(::GetCapture(), View().GetHwnd());
    for (int step = 1; step <= 5; ++step) MouseMoveTo(pt.x + 10 * step, pt.y + 6 * step);
    MouseUp();
    RECT after = FrameRect();
    EXPECT_EQ(after.left - before.left, 50);
    EXPECT_EQ(after.top - before.top, 30);
    EXPECT_EQ(after.right - after.left, 640);
    EXPECT_EQ(after.bottom - after.top, 480);
    EXPECT_NE(::GetCapture(), View().GetHwnd()) << "capture released";

    // Moving without the button pressed moves nothing.
    MouseMoveTo(pt.x + 100, pt.y + 100);
    EXPECT_EQ(FrameRect().left, after.left);
    EXPECT_EQ(FrameRect().top, after.top);
}

TEST_F(ViewTest, HandCursorOverTheLinksArrowElsewhere) {
    HCURSOR hand = ::LoadCursorW(::GetModuleHandleW(nullptr), L"SELECTCURSOR");
    ASSERT_NE(hand, nullptr);
    const struct {
        int x, y;
        bool overLink;
    } places[] = {{20, 30, true},   {244, 59, true},   {245, 30, false}, {444, 391, true},
                  {444, 406, false}, {625, 421, true}, {300, 20, false}, {100, 440, false}};
    for (const auto& p : places) {
        POINT pt = Screen(p.x, p.y);
        MouseMoveTo(pt.x, pt.y);
        Pump(50);
        EXPECT_EQ(::GetCursor(), p.overLink ? hand : ::LoadCursorW(nullptr, IDC_ARROW)) << p.x << "," << p.y;
    }
}

TEST_F(ViewTest, DiabloFreeTileLoadsFreeThenUserAndStartsTheSweep) {
    ASSERT_TRUE(Servers().ok());
    WriteList(L"Free.txt", {{L"무료 하나", Accepting()}, {L"무료 둘", Refused()}});
    // The user's server is silent, so the sweep is still on it when we look.
    WriteList(L"User.txt", {{L"내 서버", Silent()}});
    HWND bar = View().GetFolderBar().GetHwnd();

    // Open "Diablo" (the third header, below the open StarCraft folder), then its "Free" tile.
    POINT header = ClientToScreenPoint(bar, 42, 178 + 35 + 35 + 17);
    ClickAt(header.x, header.y);
    EXPECT_EQ(View().GetFolderBar().GetOpenFolder(), 2);
    POINT tile = ClientToScreenPoint(bar, 42, 35 * 3 + 55 + 27);
    ClickAt(tile.x, tile.y);

    ASSERT_EQ(ListItemCount(List()), 3);
    EXPECT_EQ(g_nCurrentGame, 2);
    EXPECT_NE(g_pSweepThread.load(), nullptr) << "the sweep runs";
    EXPECT_EQ(ListItemText(List(), 2, 0), L"내 서버") << "User.txt follows Free.txt";
    ASSERT_TRUE(WaitIdle());
}
