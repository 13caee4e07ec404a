// The folder bar as the user meets it: the launcher's four game folders in a real
// window, clicked with the real mouse, messages caught where they arrive and
// pixels read back from the screen.
#include <algorithm>
#include <set>

#include <gtest/gtest.h>

#include "AppBase.h"
#include "FolderBar.h"
#include "TestSupport.h"
#include "resource.h"

using namespace testing_support;

namespace {

// Registered here by their strings, so a wrong name is caught.
const UINT kFolderBarChanged = ::RegisterWindowMessageW(L"FolderBar Changed");
const UINT kGetResponseTime = ::RegisterWindowMessageW(L"Get Response Time");
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

bool Colourful(COLORREF c) {
    int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    return std::max({r, g, b}) - std::min({r, g, b}) > 60;
}

class FolderBarTest : public testing::Test {
protected:
    void SetUp() override {
        // The frame is the bar's parent; the launcher view is the frame's pane child.
        ASSERT_TRUE(m_frame.Create(WS_POPUP | WS_VISIBLE, RECT{100, 100, 400, 600}));
        ASSERT_TRUE(m_view.Create(WS_CHILD | WS_VISIBLE, RECT{120, 0, 300, 500}, m_frame, AFX_IDW_PANE_FIRST));
        m_previousMain = CAppBase::Get()->GetMainWnd();
        CAppBase::Get()->SetMainWnd(m_frame);
        const struct { const wchar_t* caption; UINT command; UINT icon; } games[] = {
            {L"StarCraft", ID_STARCRAFT_BATTLENET, IDI_STARCRAFT}, {L"WarCraft II", ID_WARCRAFT_BATTLENET, IDI_WARCRAFT},
            {L"Diablo", ID_DIABLO_BATTLENET, IDI_DIABLO}, {L"Diablo SW", ID_DIABLOSW_BATTLENET, IDI_DIABLO}};
        for (auto& g : games) {
            auto* folder = new CFolderItem(g.caption, g.command, g.icon);
            folder->AddEntry(L"Battle.net", 0);
            folder->AddEntry(L"Free", 1);
            m_bar.AddFolder(folder);
        }
        ASSERT_TRUE(m_bar.Create(RECT{7, 147, 92, 465}, m_frame, static_cast<UINT>(-1)));
        ::SetForegroundWindow(m_frame);
        Pump(300);
    }
    void TearDown() override {
        MouseMoveTo(700, 700);
        CAppBase::Get()->SetMainWnd(m_previousMain);
    }

    // A real click in the bar; waits out the double-click time so the next press stands alone.
    void Click(int x, int y) {
        POINT pt = ClientToScreenPoint(m_bar, x, y);
        ClickAt(pt.x, pt.y);
        Pump(::GetDoubleClickTime() + 50);
    }
    std::vector<FolderRects> Layout() const {
        RECT client;
        ::GetClientRect(m_bar, &client);
        std::vector<FolderRects> rects;
        m_bar.Layout(client, rects);
        return rects;
    }
    // Every header shows cell 4 of the button strip (rows clear of the caption).
    void ExpectHeadersDrawn(const Canvas& screen, const std::vector<FolderRects>& layout) {
        UniqueGdiObject strip(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_BUTTONS), IMAGE_BITMAP,
                                           0, 0, LR_CREATEDIBSECTION));
        UniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
        SelectObjectScope select(dc.Get(), strip.Get());
        for (const FolderRects& f : layout)
            for (int y : {0, 2, 4, 31, 34})
                for (int x = 0; x < 85; x += 6)
                    ASSERT_EQ(screen.At(x, f.header.top + y), ::GetPixel(dc.Get(), x, 4 * 35 + y))
                        << "header at " << f.header.top << " pixel " << x << "," << y;
    }

    CRecordingWindow m_frame{{kFolderBarChanged, kGetResponseTime}};
    CRecordingWindow m_view{{kFolderBarChanged, kGetResponseTime}};
    CFolderBar m_bar;
    HWND m_previousMain = nullptr;
};

TEST_F(FolderBarTest, LaysOutAndPaintsFourFoldersWithTheFirstOpen) {
    LOGFONTW lf{};  // 9-point Gulim at the screen's resolution
    ASSERT_TRUE(::GetObjectW(m_bar.GetFolder(0)->GetFont(), sizeof(lf), &lf));
    EXPECT_EQ(lf.lfHeight, -::MulDiv(9, ::GetDeviceCaps(WindowDC(nullptr).Get(), LOGPIXELSY), 72));
    EXPECT_STREQ(lf.lfFaceName, L"굴림");

    auto layout = Layout();
    ASSERT_EQ(layout.size(), 4u);
    const int t = layout[0].body.top;
    EXPECT_EQ(t, 35);
    EXPECT_EQ(layout[0].body.bottom - t, 178);
    EXPECT_EQ(layout[1].header.top, 213);
    EXPECT_EQ(layout[3].header.bottom, 318);

    Canvas screen(m_bar);
    ExpectHeadersDrawn(screen, layout);
    // Sunken frame round the body; raised tiles (3, t+3)-(82, t+52) and (3, t+58)-(82, t+107).
    EXPECT_EQ(screen.At(0, t + 90), kBlack);
    EXPECT_EQ(screen.At(84, t + 90), kWhite);
    for (int tileTop : {t + 3, t + 58}) {
        EXPECT_EQ(screen.At(3, tileTop), kWhite);
        EXPECT_EQ(screen.At(81, tileTop), kBlack);
        EXPECT_EQ(screen.At(4, tileTop + 48), kBlack);
        EXPECT_NE(screen.At(82, tileTop + 10), kBlack) << "tile ends at 82";
        // The icon at (3 + (79 - 32) / 2, tile top + 3); the caption white at the tile's bottom.
        int icon = 0, beside = 0, caption = 0;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) icon += Colourful(screen.At(26 + x, tileTop + 3 + y));
            beside += Colourful(screen.At(24, tileTop + 3 + y)) + Colourful(screen.At(59, tileTop + 3 + y));
        }
        for (int y = tileTop + 36; y < tileTop + 48; ++y)
            for (int x = 20; x < 62; ++x) caption += screen.At(x, y) == kWhite;
        EXPECT_GT(icon, 200) << "icon of the tile at " << tileTop;
        EXPECT_EQ(beside, 0);
        EXPECT_GT(caption, 15) << "caption of the tile at " << tileTop;
    }
    // Below the tiles the body texture: dark, grey and uneven.
    std::set<COLORREF> seen;
    for (int y = t + 112; y < t + 176; y += 2)
        for (int x = 1; x < 84; x += 2) {
            COLORREF c = screen.At(x, y);
            ASSERT_TRUE(c != kBlack && !Colourful(c) && std::max({GetRValue(c), GetGValue(c), GetBValue(c)}) < 110)
                << x << "," << y << " is " << std::hex << c;
            seen.insert(c);
        }
    EXPECT_GT(seen.size(), 5u) << "a texture, not a flat fill";
}

TEST_F(FolderBarTest, HeaderClicksOpenFoldersAndTellTheParentOnce) {
    Click(42, 17);  // the open folder's header
    EXPECT_TRUE(m_frame.received.empty() && m_view.received.empty());

    Click(42, 300);  // "Diablo SW", closed, at the bottom
    ASSERT_EQ(m_frame.received.size(), 1u);
    EXPECT_EQ(m_frame.received[0].msg, kFolderBarChanged);
    EXPECT_EQ(m_frame.received[0].wParam, 0u);
    EXPECT_EQ(m_frame.received[0].lParam, 0);
    EXPECT_EQ(m_bar.GetOpenFolder(), 3);
    auto layout = Layout();
    EXPECT_EQ(layout[1].header.top, 35);
    EXPECT_EQ(layout[3].body.top, 140);

    Click(42, 50);  // "WarCraft II", now at 35: the headers below it move down
    EXPECT_EQ(m_frame.received.size(), 2u);
    EXPECT_EQ(m_bar.GetOpenFolder(), 1);
    layout = Layout();
    EXPECT_EQ(layout[2].header.top, 248);
    EXPECT_EQ(layout[3].header.top, 283);
    Canvas screen(m_bar);
    ExpectHeadersDrawn(screen, layout);
    EXPECT_EQ(screen.At(40, 73), kWhite) << "the first tile's top where the Diablo header was";
    EXPECT_TRUE(m_view.received.empty());
}

TEST_F(FolderBarTest, TileClicksAskTheViewForGameAndRow) {
    Click(42, 265);  // the "Diablo" header
    ASSERT_EQ(m_bar.GetOpenFolder(), 2);
    m_frame.received.clear();
    const int top = Layout()[2].body.top;
    ASSERT_EQ(top, 105);

    // The row comes from the position: gaps between tiles count, 110 or more is nothing.
    for (int dy : {80, 20, 54, 55, 109, 110, 140, 177}) Click(42, top + dy);
    ASSERT_EQ(m_view.received.size(), 5u);
    const LPARAM rows[] = {1, 0, 0, 1, 1};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(m_view.received[i].msg, kGetResponseTime);
        EXPECT_EQ(m_view.received[i].wParam, static_cast<WPARAM>(ID_DIABLO_BATTLENET));
        EXPECT_EQ(m_view.received[i].lParam, rows[i]) << i;
    }
    EXPECT_TRUE(m_frame.received.empty());
    EXPECT_EQ(m_bar.GetOpenFolder(), 2);
}

}  // namespace
