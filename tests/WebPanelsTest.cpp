// The web panels: the system's browser control in the view, its page requests
// seen by a loopback HTTP stand-in (the prefix's proxy for these tests), and the
// real Orvn.exe with the control made uncreatable and with pages still loading.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <exdisp.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <vector>

#include "AppBase.h"
#include "FolderBar.h"
#include "FolderItem.h"
#include "MainFrame.h"
#include "PingView.h"
#include "HttpStandIn.h"
#include "TestSupport.h"
#include "resource.h"

using namespace testing_support;

namespace {

const std::wstring kAdPage = L"http://" ORVN_ADS_HOST L"/quilla_ads.shtml";
const std::wstring kNewsPage = L"http://" ORVN_NEWS_HOST L"/news.html";
const wchar_t kInternetSettings[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

// The stand-in is every page's proxy for the whole program (a process reads
// the setting at its first HTTP request); the setting is removed at the end.
class WebPanels : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_http = new HttpStandIn;
        std::wstring proxy = L"127.0.0.1:" + std::to_wstring(s_http->port());
        DWORD on = 1;
        ::RegSetKeyValueW(HKEY_CURRENT_USER, kInternetSettings, L"ProxyEnable", REG_DWORD, &on, sizeof(on));
        ::RegSetKeyValueW(HKEY_CURRENT_USER, kInternetSettings, L"ProxyServer", REG_SZ, proxy.c_str(),
                          static_cast<DWORD>((proxy.size() + 1) * sizeof(wchar_t)));
    }
    static void TearDownTestSuite() {
        HKEY key;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, kInternetSettings, 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
            ::RegDeleteValueW(key, L"ProxyEnable");
            ::RegDeleteValueW(key, L"ProxyServer");
            ::RegCloseKey(key);
        }
        delete s_http;
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
    static inline HttpStandIn* s_http = nullptr;
};

// Every dispatch call reaching the browser control class: its dispatch table
// is shared by all instances, so one patch (kept for the program's life)
// records both panels.
struct DispatchCall {
    IDispatch* control;
    DISPID id;
    WORD flags;
    std::vector<VARTYPE> types;  // last argument first; VT_EMPTY for a reference to an empty value
    std::wstring text;           // the first string argument
};
using InvokeFn = HRESULT(STDMETHODCALLTYPE*)(IDispatch*, DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                             EXCEPINFO*, UINT*);
InvokeFn g_controlInvoke = nullptr;
std::vector<DispatchCall> g_calls;

HRESULT STDMETHODCALLTYPE RecordInvoke(IDispatch* self, DISPID id, REFIID iid, LCID lcid, WORD flags,
                                       DISPPARAMS* params, VARIANT* result, EXCEPINFO* info, UINT* arg) {
    DispatchCall call{self, id, flags, {}, {}};
    for (UINT i = 0; i < params->cArgs; ++i) {
        const VARIANTARG& arg = params->rgvarg[i];
        bool emptyRef = arg.vt == (VT_BYREF | VT_VARIANT) && arg.pvarVal && arg.pvarVal->vt == VT_EMPTY;
        call.types.push_back(emptyRef ? static_cast<VARTYPE>(VT_EMPTY) : arg.vt);
        if (arg.vt == VT_BSTR) call.text = arg.bstrVal;
    }
    g_calls.push_back(call);
    return g_controlInvoke(self, id, iid, lcid, flags, params, result, info, arg);
}

void RecordControlCalls() {
    HWND parent = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    CWebBrowser2 browser;
    ASSERT_TRUE(browser.Create(L"Web", WS_CHILD, RECT{0, 0, 100, 100}, parent, 1));
    void** table = *reinterpret_cast<void***>(browser.GetControl().Get());
    DWORD old;
    ::VirtualProtect(&table[6], sizeof(void*), PAGE_READWRITE, &old);
    g_controlInvoke = reinterpret_cast<InvokeFn>(table[6]);
    table[6] = reinterpret_cast<void*>(&RecordInvoke);
    ::VirtualProtect(&table[6], sizeof(void*), old, &old);
    browser.DestroyWindow();
    ::DestroyWindow(parent);
}

std::wstring LocationURL(const ComPtr<IDispatch>& control) {
    BSTR url = nullptr;
    control.As<IWebBrowser2>(IID_IWebBrowser2)->get_LocationURL(&url);
    std::wstring result = url ? url : L"";
    ::SysFreeString(url);
    return result;
}

void ExpectRect(HWND child, RECT expected, const char* what) {
    ::MapWindowPoints(::GetParent(child), nullptr, reinterpret_cast<POINT*>(&expected), 2);
    RECT r;
    ::GetWindowRect(child, &r);
    EXPECT_TRUE(::EqualRect(&r, &expected)) << what;
}

}  // namespace

TEST_F(WebPanels, CreatedFirstAtTheirPlacesNavigatedAndBannerRefreshedOnFolderChange) {
    RecordControlCalls();
    g_calls.clear();
    auto frame = std::make_unique<CMainFrame>();
    ASSERT_TRUE(frame->LoadFrame(IDR_MAINFRAME));
    CAppBase::Get()->SetMainWnd(frame->GetHwnd());
    ::SetForegroundWindow(frame->GetHwnd());
    CPingView& view = frame->GetView();
    CWebBrowser2& banner = view.GetAdBrowser();
    CWebBrowser2& news = view.GetNewsBrowser();

    // The first two children, in creation order, then the others in their places.
    HWND first = ::GetWindow(view.GetHwnd(), GW_CHILD);
    ASSERT_EQ(first, banner.GetHwnd());
    ASSERT_EQ(::GetWindow(first, GW_HWNDNEXT), news.GetHwnd());
    ExpectRect(banner, RECT{90, 65, 566, 130}, "banner");
    ExpectRect(news, RECT{445, 145, 625, 422}, "news");
    ExpectRect(view.GetServerList(), RECT{110, 145, 430, 420}, "list");
    ExpectRect(view.GetFolderBar(), RECT{7, 147, 92, 465}, "folder bar");
    for (HWND panel : {banner.GetHwnd(), news.GetHwnd()}) {
        wchar_t text[16] = {};
        ::GetWindowTextW(panel, text, 16);
        EXPECT_STREQ(text, L"Web");
        EXPECT_EQ(::GetWindowLongW(panel, GWL_STYLE) & (WS_CHILD | WS_VISIBLE), WS_CHILD | WS_VISIBLE);
        EXPECT_EQ(::GetDlgCtrlID(panel), -1);
    }

    // Navigate was method 104 with the page and four empty optional values, banner first.
    ComPtr<IDispatch> bannerControl = banner.GetControl(), newsControl = news.GetControl();
    ASSERT_EQ(g_calls.size(), 2u);
    const std::wstring* pages[] = {&kAdPage, &kNewsPage};
    IDispatch* controls[] = {bannerControl.Get(), newsControl.Get()};
    for (int i = 0; i < 2; ++i) {
        const DispatchCall& call = g_calls[i];
        EXPECT_EQ(call.control, controls[i]);
        EXPECT_EQ(call.id, 104);
        EXPECT_EQ(call.flags, DISPATCH_METHOD);
        EXPECT_EQ(call.types, (std::vector<VARTYPE>{VT_EMPTY, VT_EMPTY, VT_EMPTY, VT_EMPTY, VT_BSTR}));
        EXPECT_EQ(call.text, *pages[i]);
    }
    // The control fetched both pages, and says which URL it opened.
    ASSERT_TRUE(PumpUntil([&] { return PageRequests(kAdPage) == 1 && PageRequests(kNewsPage) == 1; }, 15000))
        << s_http->Requests().size() << " requests";
    EXPECT_EQ(LocationURL(bannerControl), kAdPage);
    EXPECT_EQ(LocationURL(newsControl), kNewsPage);

    // Opening another folder refreshes the banner, and only the banner.
    g_calls.clear();
    HWND bar = view.GetFolderBar();
    POINT header = ClientToScreenPoint(bar, 42, CFolderBar::kHeaderHeight + 178 + 17);
    ClickAt(header.x, header.y);
    ASSERT_EQ(view.GetFolderBar().GetOpenFolder(), 1);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].control, bannerControl.Get());
    EXPECT_EQ(g_calls[0].id, DISPID_REFRESH);
    EXPECT_EQ(g_calls[0].flags, DISPATCH_METHOD);
    EXPECT_TRUE(g_calls[0].types.empty());
}

// The real launcher, once with the control made uncreatable by a DLL override
// (it must measure, launch and exit as always, and show nothing about it), once
// with both pages still loading when Exit is pressed.
TEST_F(WebPanels, LauncherWithoutTheControlWorksAndExitDuringLoadEndsCleanly) {
    std::wstring folder = MakeTempFolder(L"orvn_web");
    // A per-program DLL override takes the browser library from the copy named OrvnNoWeb.exe.
    const wchar_t kNoWebOverrides[] = L"Software\\Wine\\AppDefaults\\OrvnNoWeb.exe\\DllOverrides";
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, kNoWebOverrides, L"ieframe", REG_SZ, L"", sizeof(wchar_t)), 0);
    ASSERT_TRUE(CopyFileTo(DistFolder() + L"Orvn.exe", folder + L"Orvn.exe"));
    ASSERT_TRUE(CopyFileTo(DistFolder() + L"Orvn.exe", folder + L"OrvnNoWeb.exe"));
    ASSERT_TRUE(WriteFileBytes(folder + L"Blizzard.txt", "Refused,127.0.0.2\r\n"));
    ASSERT_TRUE(CopyFileTo(TestFolder() + L"GameStandIn.exe", folder + L"StarCraft.exe"));
    CAppBase::Get()->WriteProfileString(L"ProgramPath", L"StarCraft", folder + L"StarCraft.exe");
    DWORD exitMs[2] = {};

    for (bool withControl : {false, true}) {
        SCOPED_TRACE(withControl ? "pages loading" : "control disabled");
        s_http->Hold(withControl);
        int requestsBefore = static_cast<int>(s_http->Requests().size());
        Process launcher;
        ASSERT_TRUE(StartProcess(folder + (withControl ? L"Orvn.exe" : L"OrvnNoWeb.exe"), L"", folder, &launcher));
        HWND frame = nullptr;
        ASSERT_TRUE(PumpUntil([&] { return (frame = FindTopLevel(L"Orvane", launcher.pid)) != nullptr; }, 20000));
        HWND view = ::GetDlgItem(frame, AFX_IDW_PANE_FIRST);
        // What lies at the middle of each panel's place: a "Web" window, or the view itself.
        for (POINT middle : {POINT{328, 97}, POINT{535, 283}}) {
            HWND at = ::ChildWindowFromPointEx(view, middle, CWP_SKIPINVISIBLE);
            wchar_t text[16] = {};
            ::GetWindowTextW(at, text, 16);
            EXPECT_TRUE(withControl ? std::wstring(text) == L"Web" : at == view) << middle.x << "," << middle.y;
        }
        if (withControl) {
            ASSERT_TRUE(PumpUntil([&] { return s_http->Requests().size() >= requestsBefore + 2u; }, 15000))
                << "both pages requested and left unanswered";
        } else {
            // Measure: the StarCraft folder's Battle.net tile fills the list and sweeps it.
            HWND bar = ::FindWindowExW(view, nullptr, nullptr, L"Folder");
            POINT tile = ClientToScreenPoint(bar, 42, CFolderBar::kHeaderHeight + CFolderItem::kTileHeight / 2);
            ClickAt(tile.x, tile.y);
            HWND list = ::GetDlgItem(view, IDC_SERVER_LIST);
            ASSERT_TRUE(PumpUntil([&] { return ListItemCount(list) == 1; }, 5000));
            // Launch: a double-click on the row once the sweep is over starts the game.
            RECT header;
            ::GetWindowRect(reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0)), &header);
            std::string log;
            for (int attempt = 0; attempt < 10 && !ReadFileBytes(folder + L"StarCraft.exe.log", &log); ++attempt) {
                DoubleClickAt(header.left + 40, header.bottom + 8);
                PumpUntil([&] { return ReadFileBytes(folder + L"StarCraft.exe.log", &log); }, 1000);
            }
            EXPECT_FALSE(log.empty()) << "the game was started";
            EXPECT_EQ(WaitForDialog(L"Orvane", 0, launcher.pid), nullptr) << "nothing is reported";
        }
        DWORD start = ::GetTickCount();
        POINT exitButton = ClientToScreenPoint(view, 581, 452);
        ClickAt(exitButton.x, exitButton.y);
        EXPECT_EQ(launcher.Wait(60000), 0u);
        exitMs[withControl] = ::GetTickCount() - start;
        if (launcher.Wait(0) == STILL_ACTIVE) ::TerminateProcess(launcher.process, 1);
    }
    std::printf("Exit to process end: %lu ms with both pages loading, %lu ms with the control disabled\n",
                exitMs[1], exitMs[0]);
    s_http->Hold(false);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\OrvnNoWeb.exe");
    RemoveFolder(folder);
}
