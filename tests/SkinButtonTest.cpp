// The skin button as the user meets it: real buttons in a real top-level
// window, the real mouse, the command caught where it arrives and the look
// read back from the screen and compared with the strip's cells.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include "DIB.h"
#include "SkinButton.h"
#include "TestSupport.h"
#include "UniqueHandle.h"
#include "resource.h"

using namespace testing_support;

namespace {

constexpr int kButtonX = 40, kButtonY = 30, kWidth = 88, kHeight = 35;

// 88 by 35 pixels, as 0xRRGGBB.
using Pixels = std::vector<DWORD>;

Pixels Grab(HDC source, int x, int y) {
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), kWidth, -kHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    UniqueMemoryDC mem(::CreateCompatibleDC(source));
    UniqueGdiObject bitmap(::CreateDIBSection(source, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    SelectObjectScope select(mem.Get(), bitmap.Get());
    ::BitBlt(mem.Get(), 0, 0, kWidth, kHeight, source, x, y, SRCCOPY);
    ::GdiFlush();
    auto* p = static_cast<const DWORD*>(bits);
    Pixels out(p, p + kWidth * kHeight);
    for (DWORD& v : out) v &= 0xFFFFFF;
    return out;
}

// What the screen shows of a button.
Pixels OnScreen(HWND button) {
    POINT origin = ClientToScreenPoint(button, 0, 0);
    WindowDC screen(nullptr);
    return Grab(screen.Get(), origin.x, origin.y);
}

// A cell of the launcher's button strip, drawn off-screen.
Pixels Cell(int index) {
    CDIB strip;
    strip.LoadFromResource(IDB_BUTTONS);
    strip.SetDrawSize(SIZE{kWidth, kHeight});
    WindowDC screen(nullptr);
    UniqueMemoryDC mem(::CreateCompatibleDC(screen.Get()));
    UniqueGdiObject bitmap(::CreateCompatibleBitmap(screen.Get(), kWidth, kHeight));
    SelectObjectScope select(mem.Get(), bitmap.Get());
    strip.DrawCell(mem.Get(), 0, 0, index);
    return Grab(mem.Get(), 0, 0);
}

// Pixels that differ, counting only columns [fromX, toX) and outside the
// caption area (10, 10)-(78, 25).
int Differences(const Pixels& a, const Pixels& b, int fromX = 0, int toX = kWidth) {
    int n = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = fromX; x < toX; ++x) {
            bool caption = x >= 10 && x < 78 && y >= 10 && y < 25;
            if (!caption && a[y * kWidth + x] != b[y * kWidth + x]) ++n;
        }
    return n;
}

// A top-level window that keeps the commands it receives.
class CParent : public CWindow {
public:
    bool Create(const RECT& r) {
        LPCWSTR cls = RegisterClass(L"OrvSkinButtonTestWnd", 0, ::LoadCursorW(nullptr, IDC_ARROW),
                                    reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1)), nullptr);
        return CreateEx(WS_EX_TOPMOST, cls, L"SkinButtonTest", WS_POPUP | WS_VISIBLE, r, nullptr, 0);
    }
    std::vector<std::pair<WPARAM, LPARAM>> commands;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_COMMAND) {
            commands.emplace_back(wParam, lParam);
            return 0;
        }
        return Default(msg, wParam, lParam);
    }
};

class SkinButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        MouseMoveTo(5, 5);  // away from everything made here
        ASSERT_TRUE(m_parent.Create(RECT{200, 200, 500, 350}));
        ::SetForegroundWindow(m_parent);
        Pump(100);
        m_normal = Cell(0);
        m_hover = Cell(2);
        ASSERT_GT(Differences(m_normal, m_hover), 1000) << "the looks must be told apart";
    }

    void MakeButton(CSkinButton& button, const wchar_t* caption, int x, int y, UINT id) {
        ASSERT_TRUE(button.Create(caption, RECT{x, y, x + kWidth, y + kHeight}, m_parent, id));
        ASSERT_TRUE(button.LoadSkin(IDB_BUTTONS, kWidth, kHeight));
        button.SetCells(0, 2);
        ::InvalidateRect(button, nullptr, TRUE);
        Pump(100);
    }

    bool Looks(HWND button, const Pixels& cell, int fromX = 0, int toX = kWidth) {
        return PumpUntil([&] { return Differences(OnScreen(button), cell, fromX, toX) == 0; }, 2000);
    }

    POINT At(HWND button, int x, int y) { return ClientToScreenPoint(button, x, y); }
    void MoveTo(POINT pt) { MouseMoveTo(pt.x, pt.y); }

    CParent m_parent;
    Pixels m_normal, m_hover;
};

}  // namespace

TEST_F(SkinButtonTest, HoverLightsUpAndPressPostsOneCommandBeforeRelease) {
    CSkinButton button;
    MakeButton(button, L"Setup", kButtonX, kButtonY, ID_SETUP);
    EXPECT_EQ(::GetDlgCtrlID(button), ID_SETUP);
    EXPECT_TRUE(Looks(button, m_normal)) << "normal look before the pointer comes";

    MoveTo(At(button, 30, 17));
    EXPECT_TRUE(Looks(button, m_hover)) << "lit while the pointer is over it";
    EXPECT_EQ(::GetCapture(), button.GetHwnd());
    MoveTo(At(button, 60, 5));
    EXPECT_TRUE(Looks(button, m_hover)) << "still lit inside";

    MouseDown();
    // Arrived while the button is still held down.
    ASSERT_TRUE(PumpUntil([&] { return !m_parent.commands.empty(); }, 2000)) << "no WM_COMMAND on the press";
    EXPECT_EQ(m_parent.commands.size(), 1u);
    EXPECT_EQ(m_parent.commands[0].first, static_cast<WPARAM>(ID_SETUP)) << "id, notification code 0";
    EXPECT_EQ(m_parent.commands[0].second, 0) << "no control handle";
    EXPECT_EQ(::GetFocus(), button.GetHwnd());
    MouseUp();
    Pump(200);
    EXPECT_EQ(m_parent.commands.size(), 1u) << "once per press, nothing on the release";

    // Leaving the button (onto the parent) returns the normal look.
    MoveTo(At(button, 30, 17));
    EXPECT_TRUE(Looks(button, m_hover));
    MoveTo(At(button, 30, kHeight + 20));
    EXPECT_TRUE(Looks(button, m_normal)) << "pointer left the button";
    EXPECT_EQ(::GetCapture(), nullptr);
    EXPECT_FALSE(button.IsTracking());

    // Another window taking the capture returns the normal look, and the
    // button leaves that window its capture.
    MoveTo(At(button, 30, 17));
    EXPECT_TRUE(Looks(button, m_hover));
    ::SetCapture(m_parent);
    EXPECT_TRUE(Looks(button, m_normal)) << "capture lost";
    EXPECT_EQ(::GetCapture(), m_parent.GetHwnd());
    EXPECT_EQ(button.GetLook(), 0);
    ::ReleaseCapture();
    Pump(100);
    EXPECT_EQ(m_parent.commands.size(), 1u);
}

TEST_F(SkinButtonTest, PressWithoutMoveDoesNothing) {
    // The pointer rests on the parent; the button appears under it and is
    // pressed without any movement.
    POINT rest = ClientToScreenPoint(m_parent, kButtonX + 30, kButtonY + 17);
    MouseMoveTo(rest.x, rest.y);
    Pump(200);
    CSkinButton button;
    MakeButton(button, L"Exit", kButtonX, kButtonY, ID_APP_EXIT);
    Pump(200);
    ASSERT_EQ(::WindowFromPoint(rest), button.GetHwnd());
    ASSERT_FALSE(button.IsTracking()) << "no movement has reached the button";
    MouseDown();
    MouseUp();
    Pump(200);
    EXPECT_TRUE(m_parent.commands.empty());
    EXPECT_TRUE(Looks(button, m_normal));

    // The first movement lights it; then a press counts.
    MouseMoveTo(rest.x + 3, rest.y);
    EXPECT_TRUE(Looks(button, m_hover));
    MouseDown();
    MouseUp();
    EXPECT_TRUE(PumpUntil([&] { return m_parent.commands.size() == 1; }, 2000));
    EXPECT_EQ(m_parent.commands.empty() ? 0 : m_parent.commands[0].first, static_cast<WPARAM>(ID_APP_EXIT));
}

TEST_F(SkinButtonTest, OverlappingWindowRestoresNormalLook) {
    CSkinButton button;
    MakeButton(button, L"Setup", kButtonX, kButtonY, ID_SETUP);

    // A small window of its own lying over the right half of the button.
    POINT corner = At(button, 50, 0);
    CParent cover;
    ASSERT_TRUE(cover.Create(RECT{corner.x, corner.y, corner.x + 60, corner.y + kHeight}));
    Pump(100);
    ASSERT_EQ(::WindowFromPoint(At(button, 70, 17)), cover.GetHwnd());

    MoveTo(At(button, 20, 17));
    EXPECT_TRUE(Looks(button, m_hover, 0, 50));
    // Straight onto the cover, still inside the button's rectangle.
    MoveTo(At(button, 70, 17));
    EXPECT_TRUE(Looks(button, m_normal, 0, 50)) << "normal once another window is under the pointer";
    EXPECT_FALSE(button.IsTracking());
    EXPECT_NE(::GetCapture(), button.GetHwnd());
}

TEST_F(SkinButtonTest, CaptionIsWhiteInTheInnerRectangleAndShownAsTip) {
    CSkinButton plain, setup, longer;
    MakeButton(plain, L"", kButtonX, kButtonY, 1);
    MakeButton(setup, L"Setup", kButtonX + 100, kButtonY, 2);
    MakeButton(longer, L"WWWWWWWWWWWWWWWWWWWW", kButtonX, kButtonY + 50, 3);
    ASSERT_TRUE(Looks(plain, m_normal));
    EXPECT_EQ(Differences(OnScreen(plain), m_normal, 0, kWidth), 0);

    // Where the caption changed the picture: inside (10, 10)-(78, 25) only,
    // starting at its top, centred across it, in white.
    auto captionBox = [&](HWND button, bool* white) {
        Pixels with = OnScreen(button), without = OnScreen(plain);
        RECT box{kWidth, kHeight, -1, -1};
        *white = false;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                DWORD v = with[y * kWidth + x];
                if (v == without[y * kWidth + x]) continue;
                if (v == 0xFFFFFF) *white = true;
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
        return box;
    };
    bool white = false;
    RECT box = captionBox(setup, &white);
    EXPECT_TRUE(white);
    EXPECT_GE(box.left, 10);
    EXPECT_LE(box.right, 78);
    EXPECT_GE(box.top, 10);
    EXPECT_LE(box.top, 13) << "at the top of the rectangle";
    EXPECT_LE(box.bottom, 25);
    EXPECT_LE(std::abs(box.left + box.right - 88), 2) << "centred: " << box.left << ".." << box.right;

    // A caption wider than the rectangle is cut at its edges.
    box = captionBox(longer, &white);
    EXPECT_TRUE(white);
    EXPECT_GE(box.left, 10);
    EXPECT_LE(box.left, 11);
    EXPECT_LE(box.right, 78);
    EXPECT_GE(box.right, 77);
    EXPECT_LE(box.bottom, 25);

    // Resting over the button brings up its tip with the caption.
    HWND tip = setup.GetToolTip();
    ASSERT_NE(tip, nullptr);
    wchar_t cls[64] = {};
    ::GetClassNameW(tip, cls, 64);
    EXPECT_STREQ(cls, TOOLTIPS_CLASSW);
    MoveTo(At(setup, 40, 15));
    MoveTo(At(setup, 42, 16));
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(tip) != FALSE; }, 5000)) << "no tip shown";
    wchar_t text[64] = {};
    ::SendMessageW(tip, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, L"Setup");
}
