// The view as a person uses it with the mouse: the links painted in the skin,
// dragging the window, the hot-spot cursor, and the folder bar driving the sweep.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "AppBase.h"
#include "MainFrame.h"
#include "PingView.h"
#include "StandInServers.h"
#include "TestSupport.h"
#include "resource.h"

using namespace testing_support;

namespace {

// Makes the stand-in program the handler of http: links; restores the old one.
class UrlHandler {
public:
    explicit UrlHandler(const std::wstring& exe) : m_exe(exe) {
        m_had = Read(&m_old);
        std::wstring command = L"\"" + exe + L"\" \"%1\"";
        HKEY key;
        if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) == 0) {
            ::RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                             static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
            ::RegCloseKey(key);
        }
        ::DeleteFileW((exe + L".log").c_str());
    }
    ~UrlHandler() {
        HKEY key;
        if (m_had && ::RegOpenKeyExW(HKEY_CLASSES_ROOT, kKey, 0, KEY_WRITE, &key) == 0) {
            ::RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(m_old.c_str()),
                             static_cast<DWORD>((m_old.size() + 1) * sizeof(wchar_t)));
            ::RegCloseKey(key);
        }
        ::DeleteFileW((m_exe + L".log").c_str());
    }
    // The arguments the handler was started with, or empty after a wait.
    std::wstring Arguments(DWORD waitMs) {
        std::string bytes;
        PumpUntil([&] { return ReadFileBytes(m_exe + L".log", &bytes) && !bytes.empty(); }, waitMs);
        std::wstring log(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
        size_t start = log.find(L"args=");
        if (start == std::wstring::npos) return L"";
        size_t end = log.find(L"\r\n", start);
        return log.substr(start + 5, end - start - 5);
    }

private:
    static constexpr const wchar_t* kKey = L"http\\shell\\open\\command";
    bool Read(std::wstring* value) {
        wchar_t buffer[1024] = {};
        LONG size = sizeof(buffer);
        if (::RegQueryValueW(HKEY_CLASSES_ROOT, kKey, buffer, &size) != ERROR_SUCCESS) return false;
        *value = buffer;
        return true;
    }
    std::wstring m_exe, m_old;
    bool m_had = false;
};

class ViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_frame = std::make_unique<CMainFrame>();
        ASSERT_TRUE(m_frame->LoadFrame(IDR_MAINFRAME));
        CAppBase::Get()->SetMainWnd(m_frame->GetHwnd());
        ::SetForegroundWindow(m_frame->GetHwnd());
        Pump(200);
        m_view = m_frame->GetView().GetHwnd();
    }
    void TearDown() override {
        MouseUp();
        m_frame.reset();
    }
    POINT Screen(int x, int y) { return ClientToScreenPoint(m_view, x, y); }
    RECT FrameRect() {
        RECT r;
        ::GetWindowRect(m_frame->GetHwnd(), &r);
        return r;
    }

    std::unique_ptr<CMainFrame> m_frame;
    HWND m_view = nullptr;
};

}  // namespace

TEST_F(ViewTest, LogoClickOpensHomeLinkWithoutDrag) {
    UrlHandler handler(TestFolder() + L"GameStandIn.exe");
    RECT before = FrameRect();
    POINT pt = Screen(20, 30);
    MouseMoveTo(pt.x, pt.y);
    MouseDown();
    EXPECT_NE(::GetCapture(), m_view) << "a link click starts no drag";
    MouseMoveTo(pt.x + 40, pt.y + 40);
    MouseUp();
    RECT after = FrameRect();
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    std::wstring args = handler.Arguments(8000);
    EXPECT_NE(args.find(ORVN_HOME_URL), std::wstring::npos) << "handler got: " << std::string(args.begin(), args.end());
}

TEST_F(ViewTest, InfoPanelLinksOpenTheirSites) {
    struct Spot {
        int x, y;
        const wchar_t* link;
    };
    // The panel's link lines, where the news panel does not cover them.
    Spot spots[] = {{443, 395, ORVN_PORTAL_URL}, {625, 415, ORVN_HOME2_URL}};
    for (const Spot& spot : spots) {
        UrlHandler handler(TestFolder() + L"GameStandIn.exe");
        POINT pt = Screen(spot.x, spot.y);
        ClickAt(pt.x, pt.y);
        std::wstring args = handler.Arguments(8000);
        EXPECT_NE(args.find(spot.link), std::wstring::npos) << spot.x << "," << spot.y;
    }
}

TEST_F(ViewTest, DraggingMovesTheFrameAndKeepsItsSize) {
    RECT before = FrameRect();
    POINT pt = Screen(300, 20);
    MouseMoveTo(pt.x, pt.y);
    MouseDown();
    EXPECT_EQ(::GetCapture(), m_view);
    for (int step = 1; step <= 5; ++step) MouseMoveTo(pt.x + 10 * step, pt.y + 6 * step);
    MouseUp();
    RECT after = FrameRect();
    EXPECT_EQ(after.left - before.left, 50);
    EXPECT_EQ(after.top - before.top, 30);
    EXPECT_EQ(after.right - after.left, 640);
    EXPECT_EQ(after.bottom - after.top, 480);
    EXPECT_NE(::GetCapture(), m_view) << "capture released";

    // Moving without the button pressed moves nothing.
    MouseMoveTo(pt.x + 100, pt.y + 100);
    RECT still = FrameRect();
    EXPECT_EQ(still.left, after.left);
    EXPECT_EQ(still.top, after.top);
}

TEST_F(ViewTest, HandCursorOverTheLinksArrowElsewhere) {
    HCURSOR hand = ::LoadCursorW(::GetModuleHandleW(nullptr), L"SELECTCURSOR");
    HCURSOR arrow = ::LoadCursorW(nullptr, IDC_ARROW);
    ASSERT_NE(hand, nullptr);
    struct Place {
        int x, y;
        bool overLink;
    };
    Place places[] = {{20, 30, true}, {244, 59, true}, {245, 30, false}, {444, 391, true}, {444, 406, false},
                      {625, 421, true}, {300, 20, false}, {100, 440, false}};
    for (const Place& p : places) {
        POINT pt = Screen(p.x, p.y);
        MouseMoveTo(pt.x, pt.y);
        Pump(50);
        EXPECT_EQ(::GetCursor(), p.overLink ? hand : arrow) << p.x << "," << p.y;
    }
}

TEST_F(ViewTest, DiabloFreeTileLoadsFreeThenUserAndStartsTheSweep) {
    std::wstring folder = TestFolder();
    ASSERT_TRUE(WriteFileBytes(folder + L"Free.txt", ToCp949(L"무료 하나,127.0.0.1\r\n무료 둘,127.0.0.2\r\n")));
    // The user's server is silent, so the sweep is still on it when we look.
    AcceptingServer local;
    SilentServer silent;
    ASSERT_TRUE(silent.ok());
    ASSERT_TRUE(WriteFileBytes(folder + L"User.txt", ToCp949(L"내 서버,127.0.0.3\r\n")));
    HWND bar = m_frame->GetView().GetFolderBar().GetHwnd();
    ASSERT_NE(bar, nullptr);

    // Open "Diablo" (the third header, below the open StarCraft folder), then its "Free" tile.
    POINT header = ClientToScreenPoint(bar, 42, 178 + 35 + 35 + 17);
    ClickAt(header.x, header.y);
    EXPECT_EQ(m_frame->GetView().GetFolderBar().GetOpenFolder(), 2);
    POINT tile = ClientToScreenPoint(bar, 42, 35 * 3 + 55 + 27);
    ClickAt(tile.x, tile.y);

    HWND list = m_frame->GetView().GetServerList().GetHwnd();
    ASSERT_EQ(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 3);
    EXPECT_EQ(g_nCurrentGame, 2);
    EXPECT_NE(g_pSweepThread.load(), nullptr) << "the sweep runs";
    wchar_t text[64] = {};
    LVITEMW item{};
    item.pszText = text;
    item.cchTextMax = 64;
    item.iSubItem = 0;
    ::SendMessageW(list, LVM_GETITEMTEXTW, 2, reinterpret_cast<LPARAM>(&item));
    EXPECT_STREQ(text, L"내 서버") << "User.txt follows Free.txt";
    ASSERT_TRUE(PumpUntil([] { return g_pSweepThread.load() == nullptr; }, 15000));
    ::DeleteFileW((folder + L"Free.txt").c_str());
    ::DeleteFileW((folder + L"User.txt").c_str());
}
