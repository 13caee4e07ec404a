// The frame and view under the mouse: a centred borderless popup, links under a hand cursor, dragged by the rest.
#include <gtest/gtest.h>

#include "LauncherFixture.h"
#include "Layout.h"
#include "resource.h"

using namespace testing_support;

TEST_F(LauncherFixture, CentredPopupWhoseLinksShowAHandAndWhoseRestDragsIt) {
    HWND frame = m_frame->GetHwnd(), view = View();
    auto frameRect = [&] {
        RECT r;
        ::GetWindowRect(frame, &r);
        return r;
    };
    RECT r = frameRect(), centred{192, 144, 832, 624};
    EXPECT_TRUE(::EqualRect(&r, &centred)) << "centred on the 1024x768 screen";
    EXPECT_EQ(::GetWindowLongW(frame, GWL_STYLE) & (WS_POPUP | WS_CAPTION | WS_THICKFRAME | WS_SYSMENU),
              WS_POPUP | WS_BORDER)
        << "no caption, no sizing frame, no system menu";
    EXPECT_EQ(::GetMenu(frame), nullptr) << "menu 128 is loaded but removed";
    EXPECT_EQ(::GetFocus(), view);
    HCURSOR hand = ::LoadCursorW(::GetModuleHandleW(nullptr), L"SELECTCURSOR");
    HCURSOR arrow = ::LoadCursorW(nullptr, IDC_ARROW);
    // The logo, then the information panel's two lines where the news panel leaves them uncovered.
    const struct {
        int x, y;
        const wchar_t* link;
    } spots[] = {{Layout::kLogo.left + 5, Layout::kLogo.top + 10, ORVN_HOME_URL},
                 {443, 395, ORVN_PORTAL_URL},
                 {625, 415, ORVN_HOME2_URL},
                 {Layout::kLogo.right, Layout::kLogo.top + 10, nullptr},
                 {444, 406, nullptr}};
    for (const auto& spot : spots) {
        RECT before = frameRect();
        POINT pt = ClientToScreenPoint(view, spot.x, spot.y);
        MouseMoveTo(pt.x, pt.y);
        EXPECT_TRUE(PumpUntil([&] { return ::GetCursor() == (spot.link ? hand : arrow); }, 3000)) << spot.x;
        const wchar_t* link = CPingView::HotSpotLink(POINT{spot.x, spot.y});
        EXPECT_EQ(std::wstring(link ? link : L""), spot.link ? spot.link : L"") << "the link at " << spot.x;
        if (spot.link) continue;  // a click would open the machine's browser
        MouseDown();
        MouseMoveTo(pt.x + 40, pt.y + 30);
        MouseUp();
        // The frame follows the pointer, keeping its size.
        RECT after = frameRect();
        EXPECT_EQ(after.left - before.left + after.top - before.top, 70) << spot.x;
        EXPECT_EQ(after.right - after.left + after.bottom - after.top, 640 + 480);
        EXPECT_NE(::GetCapture(), view) << "capture released";
    }
}
