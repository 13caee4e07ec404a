// The network side of the updater: its rate rules, the answer's head and the proxy choice by table, then the
// real start.exe, keyless and keyed, against servers that never end their headers, stall, trickle or ask for
// a password, and a player who cancels.
#include <gtest/gtest.h>

#include <functional>

#include "AppBase.h"
#include "RateWatch.h"
#include "TestSupport.h"
#include "Transfer.h"
#include "UpdateServer.h"

using namespace testing_support;

namespace {

// What the updater may hold, whatever the server sends.
constexpr SIZE_T kMaxWorkingSet = 48 * 1024 * 1024;

TEST(UpdateNetworkRulesTest, RateRules) {
    // Bytes arrived by each millisecond since the start; the first sample (every 50 ms) that fails, or -1.
    struct Row {
        const char* what;
        std::function<unsigned long long(DWORD)> arrived;
        int failsFromMs, failsToMs;
    };
    const Row rows[] = {
        {"nothing at all", [](DWORD) { return 0ull; }, 15000, 15050},
        {"a burst, then nothing", [](DWORD t) { return t >= 50 ? 200000ull : 0ull; }, 15050, 15100},
        {"300 bytes a second from the start", [](DWORD t) { return 300ull * t / 1000; }, 30000, 30250},
        {"2100 bytes every 7 s", [](DWORD t) { return 2100ull * (t / 7000 + 1); }, 30000, 30100},
        {"4 KiB a second exactly", [](DWORD t) { return 4096ull * t / 1000; }, -1, -1},
        {"5 KiB a second", [](DWORD t) { return 5120ull * t / 1000; }, -1, -1},
        {"the first byte after 12 s, then fast", [](DWORD t) { return t >= 12000 ? 200ull * (t - 11000) : 0ull; },
         -1, -1},
        {"fast for a minute, then 300 bytes a second",
         [](DWORD t) { return t < 60000 ? 10000ull * t / 1000 : 600000ull + 300ull * (t - 60000) / 1000; }, 60000,
         90100},
    };
    // The tick count wraps around every 49 days; the rules do not notice.
    for (DWORD start : {1000ul, 0xFFFFF000ul}) {
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(row.what) + " from " + std::to_string(start));
            CRateWatch watch(start);
            int failed = -1;
            for (DWORD t = 50; t <= 120000 && failed < 0; t += 50)
                if (!watch.Sample(start + t, row.arrived(t))) failed = static_cast<int>(t);
            EXPECT_GE(failed, row.failsFromMs);
            EXPECT_LE(failed, row.failsToMs);
        }
    }
}

TEST(UpdateNetworkRulesTest, ResponseHeadAndProxyChoice) {
    // status, length (-1: none), location (empty: none) of a head; status -1: refused.
    const std::tuple<std::string, int, long long, std::string> heads[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 38\r\nServer: x", 200, 38, ""},
        {"HTTP/1.0 200 OK\r\ncontent-length:  7 \r\nContent-Length: 7", 200, 7, ""},
        {"HTTP/1.1 200 OK\nContent-Type: text/plain", 200, -1, ""},
        {"HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:9/quilla/a", 302, -1, "http://127.0.0.1:9/quilla/a"},
        // The Location header counts only as written.
        {"HTTP/1.1 302 Found\r\nlocation: http://127.0.0.1:9/", 302, -1, ""},
        {"HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"q\"", 401, -1, ""},
        {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 6", -1, 0, ""},
        {"HTTP/1.1 200 OK\r\nContent-Length: -5", -1, 0, ""},
        {"HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999", -1, 0, ""},
        {"HTTP/1.1 2x0 OK", -1, 0, ""},
        {"ICY 200 OK", -1, 0, ""},
        {"", -1, 0, ""},
    };
    for (const auto& [text, status, length, location] : heads) {
        SCOPED_TRACE(text);
        ResponseHead head;
        ASSERT_EQ(status >= 0, ParseResponseHead(text, &head));
        if (status < 0) continue;
        EXPECT_EQ(status, head.status);
        EXPECT_EQ(length >= 0, head.hasLength);
        if (length >= 0) {
            EXPECT_EQ(static_cast<unsigned long long>(length), head.length);
        }
        EXPECT_EQ(!location.empty(), head.hasLocation);
        EXPECT_EQ(location, head.location);
    }

    // proxies, bypass, server: the proxy as host:port, or empty for a direct connection.
    const std::tuple<const wchar_t*, const wchar_t*, const wchar_t*, std::wstring> proxies[] = {
        {L"127.0.0.1:8080", L"", L"update.orvane.example", L"127.0.0.1:8080"},
        {L"ftp=f:21;http=proxy.lan:3128;https=s:443", L"", L"update.orvane.example", L"proxy.lan:3128"},
        {L"ftp=f:21 socks=s:1080", L"", L"update.orvane.example", L""},
        {L"proxy.lan", L"", L"update.orvane.example", L"proxy.lan:80"},
        {L"", L"", L"update.orvane.example", L""},
        {L"proxy.lan:3128", L"<local>", L"updatehost", L""},
        {L"proxy.lan:3128", L"<local>", L"update.orvane.example", L"proxy.lan:3128"},
        {L"proxy.lan:3128", L"*.ORVANE.example; 10.*", L"Update.Orvane.Example", L""},
        {L"proxy.lan:3128", L"*.orvane.example", L"orvane.example.net", L"proxy.lan:3128"},
    };
    for (const auto& [list, bypass, server, expected] : proxies) {
        SCOPED_TRACE(ToUtf8(std::wstring(list) + L" | " + bypass + L" | " + server));
        ParsedUrl proxy;
        bool proxied = ProxyFor(list, bypass, server, &proxy);
        EXPECT_EQ(expected, proxied ? proxy.server + L":" + std::to_wstring(proxy.port) : L"");
    }
}

class UpdateNetworkTest : public ::testing::TestWithParam<bool> {
protected:
    const bool m_keyed = GetParam();
};

INSTANTIATE_TEST_SUITE_P(Builds, UpdateNetworkTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Keyed" : "Keyless"; });

TEST_P(UpdateNetworkTest, EndlessHeadersEndInTimeAndHoldLittleMemory) {
    std::vector<std::wstring> names = {L"version.ini", L"Orvn.exe"};
    if (m_keyed) names.insert(names.begin() + 1, L"version.ini.sig");
    for (const auto& name : names) {
        SCOPED_TRACE(ToUtf8(name));
        UpdaterInstallation installation(m_keyed);
        ASSERT_TRUE(installation.Ready());
        ASSERT_TRUE(installation.Serve({name + L"=headers"}));
        Process updater;
        ASSERT_TRUE(installation.Start(&updater));
        EXPECT_EQ(0u, installation.Finish(updater));
        printf("%s: hand-over after %lu ms, peak working set %llu KB\n", ToUtf8(name).c_str(),
               installation.handOverMs, static_cast<unsigned long long>(installation.peakWorkingSet / 1024));
        EXPECT_LT(installation.handOverMs, 40000u);
        EXPECT_GT(installation.peakWorkingSet, 0u);
        EXPECT_LT(installation.peakWorkingSet, kMaxWorkingSet);
        EXPECT_EQ(1, installation.Server().CountRequests(name));
        // A manifest that does not come is told; a file that does not come leaves the old one.
        EXPECT_EQ(name != L"Orvn.exe", installation.boxShown);
        EXPECT_TRUE(FileBytes(TestFolder() + L"OrvnStandIn3.exe") == FileBytes(installation.program + L"Orvn.exe"));
        EXPECT_EQ(1, installation.LauncherStarts(1));
    }
}

TEST_P(UpdateNetworkTest, CancelAtTheFirstOfSixStalledFilesEndsTheRun) {
    UpdaterInstallation installation(m_keyed);
    ASSERT_TRUE(installation.Ready());
    installation.entries.clear();
    std::vector<std::wstring> faults;
    for (int i = 1; i <= 6; ++i) {
        std::wstring name = L"Stalled" + std::to_wstring(i) + L".bin";
        ASSERT_TRUE(WriteFileBytes(installation.release + name, std::string(64 * 1024, char('a' + i))));
        installation.entries.push_back({name, L"1", 64 * 1024});
        faults.push_back(name + L"=stall");
    }
    ASSERT_TRUE(installation.Publish());
    ASSERT_TRUE(installation.Serve(faults));
    Process updater;
    ASSERT_TRUE(installation.Start(&updater));
    HWND progress = WaitForDialog(L"다운로드", 60000, updater.pid);
    ASSERT_TRUE(progress);
    ASSERT_EQ(1, installation.Server().CountRequests(L"Stalled1.bin"));
    ClickDialogButton(progress, IDCANCEL);
    DWORD clicked = ::GetTickCount();
    ASSERT_EQ(1, installation.LauncherStarts(1));
    DWORD handedOver = ::GetTickCount() - clicked;
    printf("cancel to launcher: %lu ms\n", handedOver);
    EXPECT_LT(handedOver, 3000u);
    EXPECT_EQ(0u, updater.Wait(30000));
    // Nothing after the cancel was asked for, nothing installed, and the floor stays where it was.
    for (int i = 2; i <= 6; ++i) {
        EXPECT_EQ(0, installation.Server().CountRequests(L"Stalled" + std::to_wstring(i) + L".bin"));
    }
    EXPECT_EQ(1, installation.Server().CountRequests(L"Stalled1.bin"));
    EXPECT_FALSE(CAppBase::FileExists(installation.program + L"Stalled1.bin"));
    EXPECT_EQ(0, installation.AcceptedRelease());
}

TEST_P(UpdateNetworkTest, AFileTricklingAt300BytesASecondFails) {
    if (m_keyed) GTEST_SKIP() << "the rate rules are the same in both builds";
    UpdaterInstallation installation(m_keyed);
    ASSERT_TRUE(installation.Ready());
    ASSERT_TRUE(WriteFileBytes(installation.release + L"Big.bin", std::string(1024 * 1024, 'b')));
    installation.entries = {{L"Big.bin", L"1", 1024 * 1024}, {L"Free.txt", L"2", 38}};
    ASSERT_TRUE(installation.Publish());
    ASSERT_TRUE(installation.Serve({L"Big.bin=trickle"}));
    Process updater;
    ASSERT_TRUE(installation.Start(&updater));
    ASSERT_TRUE(PumpUntil([&] { return installation.Server().CountRequests(L"Big.bin") == 1; }, 60000));
    EXPECT_EQ(0u, installation.Finish(updater));
    // Its first bytes come at once: the average over 30 s fails it, well before the hour it would take.
    EXPECT_LT(installation.handOverMs, 30000u + 10000u);
    EXPECT_FALSE(installation.boxShown);
    EXPECT_FALSE(CAppBase::FileExists(installation.program + L"Big.bin"));
    // The run goes on after a failed file.
    EXPECT_EQ("new free list, longer than the old one", FileBytes(installation.program + L"Free.txt"));
    EXPECT_EQ(1, installation.LauncherStarts(1));
}

TEST_P(UpdateNetworkTest, NoPasswordIsAskedForTheUpdateHostNorTheProxy) {
    UpdaterInstallation installation(m_keyed);
    ASSERT_TRUE(installation.Ready());
    int runs = 0;
    for (const wchar_t* fault : {L"version.ini=auth", L"version.ini=proxyauth"}) {
        SCOPED_TRACE(ToUtf8(fault));
        ASSERT_TRUE(installation.Serve({fault}));
        Process updater;
        ASSERT_TRUE(installation.Start(&updater));
        // No dialog but the failure box, and no second request with a password.
        EXPECT_EQ(0u, installation.Finish(updater));
        EXPECT_TRUE(installation.boxShown);
        EXPECT_LT(installation.handOverMs, 40000u);
        EXPECT_EQ(1, installation.Server().CountRequests(L"version.ini"));
        ++runs;
        EXPECT_EQ(runs, installation.LauncherStarts(runs));
    }
}

}  // namespace
