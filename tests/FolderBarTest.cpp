// The folder bar in the real launcher view: its headers on the screen, real clicks, the groups they open in the list.
#include <vector>

#include <gtest/gtest.h>

#include "FolderBar.h"
#include "LauncherFixture.h"
#include "Layout.h"
#include "ServerGroup.h"
#include "resource.h"

using namespace testing_support;

namespace {

constexpr int kHeader = CFolderBar::kHeaderHeight;
constexpr int kBarWidth = Layout::kFolderBar.right - Layout::kFolderBar.left;
constexpr int kBarHeight = Layout::kFolderBar.bottom - Layout::kFolderBar.top;

class FolderBarTest : public LauncherFixture {
protected:
    HWND Bar() { return View().GetFolderBar(); }
    // Waits out the double-click time so the next press stands alone, then the group it chose.
    void Click(int x, int y) {
        ClickIn(Bar(), x, y);
        Pump(::GetDoubleClickTime() + 50);
        ASSERT_TRUE(WaitIdle());
    }
    // Every header's top with a folder open, whose body takes what the headers leave of the bar.
    std::vector<int> HeaderTops(int open) {
        std::vector<int> tops;
        int count = View().GetFolderBar().GetFolderCount();
        for (int i = 0, top = 0; i < count; ++i) {
            tops.push_back(top);
            top += kHeader + (i == open ? kBarHeight - count * kHeader : 0);
        }
        return tops;
    }
    // Headers at these tops on the screen show cell 4 of the button strip, their captions aside.
    bool HeadersDrawn(const std::vector<int>& tops) {
        Canvas screen(Bar()), expected(kBarWidth, kBarHeight);
        int differing = 0;
        for (int top : tops) {
            expected.DrawResource(IDB_BUTTONS, 0, top, 0, 4 * kHeader, kBarWidth, kHeader);
            differing += Differences(screen, expected, RECT{0, top, kBarWidth, top + kHeader},
                                     RECT{0, top + 5, kBarWidth, top + kHeader - 4});
        }
        return differing == 0;
    }
};

}  // namespace

TEST_F(FolderBarTest, FirstFolderOpenHeaderClicksOpenFoldersAndTileClicksPickTheGroup) {
    WriteList(L"Blizzard.txt", {{L"B", Refused()}});  // the groups' lists told apart by their lengths
    WriteList(L"Free.txt", {{L"F1", Refused()}, {L"F2", Refused()}});
    EXPECT_TRUE(PumpUntil([&] { return HeadersDrawn(HeaderTops(0)); }, 3000)) << "the first folder open";
    Click(42, kHeader + 20);  // its first tile
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
    Click(42, 2 * kHeader + 60);  // its "Free" tile
    EXPECT_EQ(Rows().size(), 2u);
    EXPECT_EQ(View().GetServerGroup().CurrentGame(), 1);
}
