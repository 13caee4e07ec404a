// The folder bar in the real launcher view: its look on the screen, real clicks, the groups they open in the list.
#include <algorithm>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "FolderBar.h"
#include "LauncherFixture.h"
#include "Layout.h"
#include "ServerGroup.h"
#include "resource.h"

using namespace testing_support;

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr int kHeader = CFolderBar::kHeaderHeight;

bool Colourful(COLORREF c) {
    int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    return std::max({r, g, b}) - std::min({r, g, b}) > 60;
}

class FolderBarTest : public LauncherFixture {
protected:
    HWND Bar() { return View().GetFolderBar(); }
    // Waits out the double-click time so the next press stands alone, then the group it chose.
    void Click(int x, int y) {
        ClickIn(Bar(), x, y);
        Pump(::GetDoubleClickTime() + 50);
        ASSERT_TRUE(WaitIdle());
    }
    // The open folder's body takes what the headers leave of the bar.
    int BodyHeight() {
        return Layout::kFolderBar.bottom - Layout::kFolderBar.top - View().GetFolderBar().GetFolderCount() * kHeader;
    }
    // Every header's top with a folder open.
    std::vector<int> HeaderTops(int open) {
        std::vector<int> tops;
        for (int i = 0, top = 0; i < View().GetFolderBar().GetFolderCount(); ++i) {
            tops.push_back(top);
            top += kHeader + (i == open ? BodyHeight() : 0);
        }
        return tops;
    }
    // Headers at these tops on the screen show cell 4 of the button strip (rows clear of the caption).
    bool HeadersDrawn(const std::vector<int>& tops) {
        Canvas cell(85, 35), screen(Bar());
        cell.DrawResource(IDB_BUTTONS, 0, 0, 0, 4 * 35, 85, 35);
        for (int top : tops)
            for (int y : {0, 2, 4, 31, 34})
                for (int x = 0; x < 85; x += 6)
                    if (screen.At(x, top + y) != cell.At(x, y)) return false;
        return true;
    }
};

}  // namespace

TEST_F(FolderBarTest, FirstFolderOpenHeaderClicksOpenFoldersAndTileClicksPickTheGroup) {
    WriteList(L"Blizzard.txt", {{L"B", Refused()}});  // the groups' lists told apart by their lengths
    WriteList(L"Free.txt", {{L"F1", Refused()}, {L"F2", Refused()}});
    // The first folder open: its body between its header and the others.
    EXPECT_TRUE(PumpUntil([&] { return HeadersDrawn(HeaderTops(0)); }, 3000));
    const int t = kHeader;
    // Two raised tiles, each with the game's icon and its caption in white.
    Canvas screen(Bar());
    for (int tileTop : {t + 3, t + 58}) {
        EXPECT_EQ(screen.At(3, tileTop), kWhite);
        int icon = 0, caption = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) icon += Colourful(screen.At(26 + x, tileTop + 3 + y));
        for (int y = tileTop + 36; y < tileTop + 48; ++y)
            for (int x = 20; x < 62; ++x) caption += screen.At(x, y) == kWhite;
        EXPECT_GT(icon, 200) << "icon of the tile at " << tileTop;
        EXPECT_GT(caption, 15) << "caption of the tile at " << tileTop;
    }
    // Below the tiles the body's picture: dark, grey and uneven.
    std::set<COLORREF> seen;
    int odd = 0;
    for (int y = t + 112; y < t + BodyHeight() - 2; y += 2)
        for (int x = 1; x < 84; x += 2) {
            COLORREF c = screen.At(x, y);
            seen.insert(c);
            odd += Colourful(c) || std::max({GetRValue(c), GetGValue(c), GetBValue(c)}) >= 110;
        }
    EXPECT_EQ(odd, 0);
    EXPECT_GT(seen.size(), 5u) << "a picture, not a flat fill";

    Click(42, t + 20);
    EXPECT_EQ(Rows().size(), 1u);
    Click(42, 17);  // the open folder's header: nothing changes
    EXPECT_EQ(Rows().size(), 1u);
    const int last = View().GetFolderBar().GetFolderCount() - 1;
    Click(42, HeaderTops(0)[last] + kHeader / 2);  // the last folder, closed, at the bottom: the list empties
    EXPECT_EQ(View().GetFolderBar().GetOpenFolder(), last);
    EXPECT_EQ(Rows().size(), 0u);
    Click(42, 50);  // "WarCraft II", now at 35: the headers below it move down
    ASSERT_EQ(View().GetFolderBar().GetOpenFolder(), 1);
    EXPECT_TRUE(PumpUntil([&] { return HeadersDrawn(HeaderTops(1)); }, 3000));
    EXPECT_EQ(Canvas(Bar()).At(40, 73), kWhite) << "the first tile's top where the Diablo header was";
    Click(42, 35 + kHeader + 60);  // its "Free" tile
    EXPECT_EQ(Rows().size(), 2u);
    EXPECT_EQ(View().GetServerGroup().CurrentGame(), 1);

}
