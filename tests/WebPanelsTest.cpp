// The web panels: the browser control in the view, its page requests seen by a
// loopback proxy stand-in, and the real Orvn.exe with and without the control.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "AppBase.h"
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

// Without Gecko a navigation shows nothing: the addresses of the control's Navigate calls are recorded instead, by
// the entry of the dispatch table all its instances share.
using InvokeFn = HRESULT(STDMETHODCALLTYPE*)(IDispatch*, DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                             EXCEPINFO*, UINT*);
InvokeFn g_controlInvoke = nullptr;
std::vector<std::wstring> g_navigated;

HRESULT STDMETHODCALLTYPE RecordInvoke(IDispatch* self, DISPID id, REFIID iid, LCID lcid, WORD flags,
                                       DISPPARAMS* params, VARIANT* result, EXCEPINFO* info, UINT* arg) {
    if (id == 104 && params && params->cArgs == 5 && params->rgvarg[4].vt == VT_BSTR)  // Navigate
        g_navigated.push_back(params->rgvarg[4].bstrVal);
    return g_controlInvoke(self, id, iid, lcid, flags, params, result, info, arg);
}

void RecordNavigations(const ComPtr<IDispatch>& control) {
    void** table = *reinterpret_cast<void***>(control.Get());
    DWORD old;
    ::VirtualProtect(&table[6], sizeof(void*), PAGE_READWRITE, &old);
    g_controlInvoke = reinterpret_cast<InvokeFn>(table[6]);
    table[6] = reinterpret_cast<void*>(&RecordInvoke);
    ::VirtualProtect(&table[6], sizeof(void*), old, &old);
}

}  // namespace

TEST_F(WebPanels, PanelsFetchTheirPagesShowOurOwnPageOfflineAndAnotherFolderAsksForTheBannerAgain) {
    auto frame = std::make_unique<CMainFrame>();
    ASSERT_TRUE(frame->LoadFrame(IDR_MAINFRAME));
    CAppBase::Get()->SetMainWnd(frame->GetHwnd());
    ::SetForegroundWindow(frame->GetHwnd());
    HWND view = ::GetDlgItem(frame->GetHwnd(), AFX_IDW_PANE_FIRST);
    CWebBrowser2* ad = WindowObject<CWebBrowser2>(::ChildWindowFromPoint(view, Centre(Layout::kBanner)));
    CWebBrowser2* news = WindowObject<CWebBrowser2>(::ChildWindowFromPoint(view, Centre(Layout::kNews)));
    ASSERT_TRUE(ad && news) << "no panels";
    ASSERT_TRUE(PumpUntil([&] { return PageRequests(kAdPage) == 1 && PageRequests(kNewsPage) == 1; }, 15000))
        << s_http->Requests().size() << " requests";

    // A page that cannot be fetched: each panel goes to our own page, built into the program; that page's own
    // failure leads nowhere else, where a loop would keep the panel busy for ever.
    RecordNavigations(ad->GetControl());
    const std::wstring kOffline = L"/OFFLINE.HTM";
    const struct {
        CWebBrowser2& panel;
        const std::wstring& page;
    } panels[] = {{*ad, kAdPage}, {*news, kNewsPage}};
    for (const auto& p : panels) {
        // What the control's NavigateError event passes on: the failed page, then our own page failing too.
        ComPtr<IDispatch> control = p.panel.GetControl();
        g_navigated.clear();
        EXPECT_TRUE(p.panel.OnNavigateError(control.Get(), p.page)) << "the control's own page is not cancelled";
        ASSERT_TRUE(PumpUntil([] { return !g_navigated.empty(); }, 5000)) << ToUtf8(p.page);
        const std::wstring url = g_navigated[0];
        ASSERT_EQ(url.rfind(L"res://", 0), 0u) << ToUtf8(url);
        ASSERT_EQ(url.substr(url.size() - kOffline.size()), kOffline);
        std::wstring module = url.substr(6, url.size() - 6 - kOffline.size());
        HMODULE file = ::LoadLibraryExW(module.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        EXPECT_NE(file ? ::FindResourceW(file, L"OFFLINE.HTM", RT_HTML) : nullptr, nullptr) << ToUtf8(module);
        ::FreeLibrary(file);
        g_navigated.clear();
        EXPECT_FALSE(p.panel.OnNavigateError(control.Get(), url));
        Pump(200);
        EXPECT_EQ(g_navigated, std::vector<std::wstring>{});
    }
    // Another folder refreshes the banner, which asks for the real page again.
    CFolderBar* bar = WindowObject<CFolderBar>(::FindWindowExW(view, nullptr, nullptr, L"Folder"));
    ASSERT_NE(bar, nullptr);
    int below = Layout::kFolderBar.bottom - Layout::kFolderBar.top - (bar->GetFolderCount() - 1) * CFolderBar::kHeaderHeight;
    POINT header = ClientToScreenPoint(*bar, 42, below + CFolderBar::kHeaderHeight / 2);
    ClickAt(header.x, header.y);
    EXPECT_EQ(g_navigated, std::vector<std::wstring>{kAdPage});
}

// Without the control the launcher opens, measures a tile's list, opens another folder and exits as always, and
// reports nothing; with it, Exit while both pages load ends it cleanly.
TEST_F(WebPanels, LauncherWithoutTheControlWorksAndExitDuringLoadEndsCleanly) {
    // The browser library disabled for the copy named OrvnNoWeb.exe.
    DllOverride noWeb(L"OrvnNoWeb.exe", L"ieframe", L"");
    for (bool withControl : {false, true}) {
        SCOPED_TRACE(withControl ? "pages loading" : "control disabled");
        int pagesBefore = PageRequests(kAdPage) + PageRequests(kNewsPage);
        OwnFolderLauncher launcher(withControl ? L"Orvn.exe" : L"OrvnNoWeb.exe");
        // A server that fails at once, with no address of the machine's own that must be free.
        ASSERT_TRUE(WriteFileBytes(launcher.Folder() + L"Blizzard.txt", "Zero,0.0.0.0\r\n"));
        ASSERT_TRUE(launcher.Start());
        HWND view = launcher.View();
        if (withControl) {
            ASSERT_TRUE(PumpUntil([&] { return PageRequests(kAdPage) + PageRequests(kNewsPage) == pagesBefore + 2; },
                                  15000))
                << "both pages requested and left unanswered";
        } else {
            for (POINT middle : {Centre(Layout::kBanner), Centre(Layout::kNews)})  // no panels there
                EXPECT_EQ(::ChildWindowFromPointEx(view, middle, CWP_SKIPINVISIBLE), view) << middle.x;
            HWND bar = ::FindWindowExW(view, nullptr, nullptr, L"Folder");
            POINT tile = ClientToScreenPoint(bar, 42, CFolderBar::kHeaderHeight + CFolderItem::kTileHeight / 2);
            ClickAt(tile.x, tile.y);
            HWND list = ::GetDlgItem(view, IDC_SERVER_LIST);
            EXPECT_TRUE(PumpUntil([&] { return ListItemText(list, 0, 2) == L"접속 실패"; }, 5000));
            // The last folder, at the bottom of the bar, opened: the list empties and the missing banner refreshed.
            int last = Layout::kFolderBar.bottom - Layout::kFolderBar.top - CFolderBar::kHeaderHeight / 2;
            POINT header = ClientToScreenPoint(bar, 42, last);
            ClickAt(header.x, header.y);
            EXPECT_TRUE(PumpUntil([&] { return ListItemCount(list) == 0; }, 5000)) << "no other folder opened";
            EXPECT_EQ(WaitForDialog(L"Orvane", 0, launcher.Pid()), nullptr) << "nothing is reported";
        }
        EXPECT_EQ(launcher.Exit(), 0u);
    }
}
