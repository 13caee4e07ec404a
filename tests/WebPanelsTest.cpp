// The web panels in the real Orvn.exe, with and without the browser control, their page requests seen by a
// loopback proxy stand-in.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "FolderBar.h"
#include "FolderItem.h"
#include "HttpStandIn.h"
#include "LauncherFixture.h"
#include "Layout.h"
#include "resource.h"

using namespace testing_support;

namespace {

const std::wstring kAdPage = L"http://" ORVN_ADS_HOST L"/quilla_ads.shtml";
const std::wstring kNewsPage = L"http://" ORVN_NEWS_HOST L"/news.html";
const wchar_t kDrivers[] = L"Software\\Wine\\Drivers";

// A process reads the proxy setting at its first request: it stays for the whole program.
class WebPanels : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_http = std::make_unique<HttpStandIn>();
        s_proxy = std::make_unique<ProxySetting>(s_http->port());
    }
    static void TearDownTestSuite() {
        s_proxy.reset();
        s_http.reset();
    }
    static int PageRequests(const std::wstring& url) {
        // A proxy request names the page in full; Wine adds the default port.
        std::string u(url.begin(), url.end());
        size_t path = u.find('/', 7);
        int n = 0;
        for (const std::string& r : s_http->Requests())
            n += r.rfind("GET " + u.substr(0, path), 0) == 0 && r.find(u.substr(path) + " HTTP/") != std::string::npos;
        return n;
    }
    static inline std::unique_ptr<HttpStandIn> s_http;
    static inline std::unique_ptr<ProxySetting> s_proxy;
};

}  // namespace

// Without the control (and with the music library but no audio driver) the launcher opens, measures a tile's list,
// opens another folder and exits as always; with it (and without the library), both pages are asked for and Exit
// while they load ends it cleanly. Neither reports anything.
TEST_F(WebPanels, LauncherWithoutTheControlOrSoundWorksAndExitDuringLoadEndsCleanly) {
    // The browser library disabled for the copy named OrvnNoWeb.exe.
    DllOverride noWeb(L"OrvnNoWeb.exe", L"ieframe", L"");
    for (bool withControl : {false, true}) {
        SCOPED_TRACE(withControl ? "pages loading" : "control disabled");
        int pagesBefore = PageRequests(kAdPage) + PageRequests(kNewsPage);
        OwnFolderLauncher launcher(withControl ? L"Orvn.exe" : L"OrvnNoWeb.exe");
        // A server that fails at once, with no address of the machine's own that must be free.
        ASSERT_TRUE(WriteFileBytes(launcher.Folder() + L"Blizzard.txt", "Zero,0.0.0.0\r\n"));
        // Wine reads the driver setting when a process first opens audio; the setting goes with the scope.
        auto back = [](void*) { ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kDrivers, L"Audio"); };
        std::shared_ptr<void> driver(nullptr, back);
        ASSERT_TRUE(withControl || (CopyFileTo(DistFolder() + L"Orvmedia.dll", launcher.Folder() + L"Orvmedia.DLL") &&
                                    SetRegistryString(HKEY_CURRENT_USER, kDrivers, L"Audio", L"")));
        ASSERT_TRUE(launcher.Start());
        HWND view = launcher.View();
        if (withControl) {
            ASSERT_TRUE(PumpUntil([&] { return PageRequests(kAdPage) + PageRequests(kNewsPage) == pagesBefore + 2; },
                                  15000))
                << "both pages requested and left unanswered";
        } else {
            for (POINT middle : {Centre(Layout::kBanner), Centre(Layout::kNews)})  // no panels there
                EXPECT_EQ(::ChildWindowFromPointEx(view, middle, CWP_SKIPINVISIBLE), view) << middle.x;
            HWND bar = FolderBar(view);
            POINT tile = ClientToScreenPoint(bar, 42, CFolderBar::kHeaderHeight + CFolderItem::kTileHeight / 2);
            ClickAt(tile.x, tile.y);
            HWND list = ::GetDlgItem(view, IDC_SERVER_LIST);
            EXPECT_TRUE(PumpUntil([&] { return ListItemText(list, 0, 2) == L"접속 실패"; }, 5000));
            // The last folder, at the bottom of the bar, opened: the list empties and the missing banner refreshed.
            int last = Layout::kFolderBar.bottom - Layout::kFolderBar.top - CFolderBar::kHeaderHeight / 2;
            POINT header = ClientToScreenPoint(bar, 42, last);
            ClickAt(header.x, header.y);
            EXPECT_TRUE(PumpUntil([&] { return ListItemCount(list) == 0; }, 5000)) << "no other folder opened";
            POINT play = ClientToScreenPoint(VolumeStrip(view), 49, 10);
            ClickAt(play.x, play.y);
        }
        EXPECT_EQ(WaitForDialog(L"Orvane", 300, launcher.Pid()), nullptr) << "nothing is reported";
        EXPECT_EQ(launcher.Exit(), 0u);
    }
}
