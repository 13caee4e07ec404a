// The updater's pure rules, table-driven and without windows: the manifest as the profile functions read it,
// the signature's encoding, release numbers and the floor's record, the percent label, the installation's
// identity, the rate rules, the answer's head, the proxy choice and the names that stay in the folder.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <tuple>

#include "Download.h"
#include "DownloadDlg.h"
#include "Manifest.h"
#include "RateWatch.h"
#include "Signature.h"
#include "TestSupport.h"
#include "Transfer.h"
#include "Updater.h"

using namespace testing_support;

namespace {

std::string Entry(int i, const char* name, const char* version, const char* size, const char* hash = nullptr) {
    std::string text = "[File" + std::to_string(i) + "]\r\nFilename=" + name + "\r\nFileversion=" + version + "\r\n";
    if (size) text += std::string("Filesize=") + size + "\r\n";
    if (hash) text += std::string("Filehash=") + hash + "\r\n";
    return text;
}

TEST(UpdateRulesTest, ManifestReadsAsTheProfileFunctionsRead) {
    CManifest m;
    // Case of names, blanks, quotes, comments, a section repeated (the first counts),
    // Total beyond the entries, a value over the 511-character buffer, Korean ANSI text.
    std::string text = "stray=1\r\n[ count ]\r\n  TOTAL = 3 entries\r\nrelease=12\r\n" +
                       Entry(1, "\"Orvn.exe\"", "1,0,0,4", "  2048", "ABC") + "[file1]\nFilename=ignored\n" +
                       "[FILE2]\nfilename=" + std::string(600, 'x') + "\nFILEVERSION=2\n;Filesize=9\n" +
                       ToCp949(L"[File3]\r\nFilename=목록.txt\r\nFilesize=-5\r\n");
    ASSERT_TRUE(CManifest::Parse(text, &m));
    EXPECT_EQ(3, m.m_nTotal);
    EXPECT_EQ(L"12", m.m_strRelease);
    // Each entry as name|version|size|size given|hash.
    std::vector<std::wstring> entries;
    for (const auto& e : m.m_entries)
        entries.push_back(e.name + L"|" + e.version + L"|" + std::to_wstring(e.size) + L"|" +
                          std::to_wstring(e.hasSize) + L"|" + e.hash);
    EXPECT_EQ((std::vector<std::wstring>{L"Orvn.exe|1,0,0,4|2048|1|ABC", std::wstring(511, L'x') + L"|2|0|0|",
                                         L"목록.txt||-5|1|"}),
              entries);

    // Only sections 1 to Total are read; a negative Total is none; more than the bound is refused. UTF-16 with its
    // mark reads too.
    const std::pair<std::string, int> totals[] = {
        {"[Count]\nTotal=1\n" + Entry(1, "a", "1", "1") + Entry(2, "b", "1", "1"), 1},
        {"[Count]\nTotal=-2\n" + Entry(1, "a", "1", "1"), 0},
        {"[Count]\nTotal=1001\n", -1},
        {"[Count]\nTotal=99999999999999999999\n", -1},
    };
    for (const auto& [manifest, total] : totals) {
        ASSERT_EQ(total >= 0, CManifest::Parse(manifest, &m)) << manifest;
        EXPECT_TRUE(total < 0 || total == static_cast<int>(m.m_entries.size())) << manifest;
    }
    std::wstring wide = L"\xFEFF[Count]\r\nTotal=1\r\n[File1]\r\nFilename=넓은.txt\r\n";
    ASSERT_TRUE(CManifest::Parse(std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2), &m));
    EXPECT_TRUE(m.m_entries.size() == 1 && m.m_entries[0].name == L"넓은.txt");
}

TEST(UpdateRulesTest, SignatureEncodingReleaseNumbersPercentAndInstallationId) {
    std::vector<BYTE> r(32, 0x11), s(32, 0x22);
    auto der = [](const std::vector<BYTE>& a, const std::vector<BYTE>& b) {
        std::vector<BYTE> out = {0x30, BYTE(4 + a.size() + b.size()), 0x02, BYTE(a.size())};
        for (BYTE x : a) out.push_back(x);
        out.push_back(0x02);
        out.push_back(BYTE(b.size()));
        for (BYTE x : b) out.push_back(x);
        return out;
    };
    std::vector<BYTE> high(33, 0x80), trailing = der(r, s), truncated = der(r, s);
    high[0] = 0;
    trailing.push_back(0);
    truncated.pop_back();
    BYTE raw[64];
    // A leading zero keeps a high value positive and is needless otherwise; short values are right-aligned.
    const std::pair<std::vector<BYTE>, bool> signatures[] = {
        {der(r, s), true},          {trailing, false},       {truncated, false},
        {der(high, s), true},       {der({0x05}, s), true},  {der({0x00, 0x05}, s), false},
        {der({0x85}, s), false},    {der({}, s), false},     {der(std::vector<BYTE>(33, 0x11), s), false},
        {{0x30, 0x00}, false},
    };
    for (const auto& [bytes, ok] : signatures) EXPECT_EQ(ok, CSignature::DerToRaw(bytes, raw)) << bytes.size();
    ASSERT_TRUE(CSignature::DerToRaw(der({0x05}, s), raw));
    EXPECT_TRUE(raw[0] == 0 && raw[31] == 0x05);

    const std::pair<const wchar_t*, long long> releases[] = {
        {L"12", 12}, {L"", -1}, {L"+1", -1}, {L"\u0661", -1}, {L"999999999999999999", 999999999999999999},
        {L"1000000000000000000", -1},
    };
    for (const auto& [text, number] : releases) EXPECT_EQ(number, CUpdater::ReleaseNumber(text)) << ToUtf8(text);

    // The label: the true share, 0 to 100, and 100 once a file is whole, whatever its size.
    const std::tuple<unsigned long long, int, bool, int> shares[] = {
        {1024, 2048, false, 50}, {2048, 2048, true, 100}, {250, 500, false, 50}, {500, 500, true, 100},
        {700, 500, false, 100},  {10, 0, false, 0},        {10, 0, true, 100}};
    for (const auto& [taken, size, complete, position] : shares)
        EXPECT_EQ(position, ProgressPosition(taken, size, complete)) << taken << " of " << size;
    int last = 0;
    for (unsigned long long taken = 0; taken <= 10u << 20; taken += 65536) {
        int position = ProgressPosition(taken, 10 << 20, false);
        EXPECT_GE(position, last) << "went back at " << taken;
        last = position;
    }
    EXPECT_EQ(100, last);
    const std::pair<int, const wchar_t*> percents[] = {{50, L"50%"}, {137, L"100%"}, {-1, L"0%"}};
    for (const auto& [position, text] : percents) EXPECT_EQ(text, CDownloadDlg::PercentText(position, 0, 100));

    for (const wchar_t* name : {L"UPPER.DLL", L"a.Exe"}) EXPECT_TRUE(CUpdater::IsProgramFile(name));
    for (const wchar_t* name : {L"Toolexe", L"exe", L"Free.txt"}) EXPECT_FALSE(CUpdater::IsProgramFile(name));

    // One installation for every spelling of a folder (a drive letter of its own: UpdateRecordTest), another for
    // another folder.
    TempFolder temp(L"orvn-lock-");
    ASSERT_TRUE(::CreateDirectoryW((temp.path + L"other").c_str(), nullptr));
    EXPECT_EQ(CUpdater::InstallationId(temp.path), CUpdater::InstallationId(temp.path + L"other\\..\\"));
    EXPECT_NE(CUpdater::InstallationId(temp.path), CUpdater::InstallationId(temp.path + L"other\\"));
}

TEST(UpdateRulesTest, TheReleaseFloorAndItsDigest) {
    const std::wstring a(64, L'a'), b(64, L'b'), upperA(64, L'A');
    // The record's texts: a floor, or a fault to tell (never "no floor").
    const std::tuple<std::wstring, std::wstring, bool, long long> records[] = {
        {L"", L"", true, -1},        {L"5", a, true, 5},           {L"5", L"", true, 5},  // an older updater's
        {L"005", upperA, true, 5},   {L"abc", L"", false, -1},     {L"1000000000000000000", L"", false, -1},
        {L"5", a + L"a", false, -1}, {L"5", L"g" + a.substr(1), false, -1},
        {L"", a, false, -1},  // a digest without its number
    };
    for (const auto& [accepted, digest, ok, number] : records) {
        SCOPED_TRACE(ToUtf8(accepted + L"|" + digest));
        CUpdater::Floor floor;
        EXPECT_EQ(ok, CUpdater::ParseFloor(accepted, digest, &floor));
        if (ok) {
            EXPECT_EQ(number, floor.number);
        }
    }
    CUpdater::Floor none, five, fiveAny;
    ASSERT_TRUE(CUpdater::ParseFloor(L"5", upperA, &five));
    ASSERT_TRUE(CUpdater::ParseFloor(L"5", L"", &fiveAny));
    // Above the floor as before; the floor's number only with the manifest recorded with it.
    const std::tuple<const CUpdater::Floor*, std::wstring, std::wstring, bool> releases[] = {
        {&none, L"0", b, true},   {&none, L"x", b, false},    {&five, L"6", b, true},     {&five, L"4", a, false},
        {&five, L"5", a, true},   {&five, L"5", b, false},    {&fiveAny, L"5", b, true},  {&fiveAny, L"4", b, false},
        {&five, L"", a, false},   {&five, L"05", a, true},
    };
    for (const auto& [floor, release, digest, accepted] : releases)
        EXPECT_EQ(accepted, CUpdater::AcceptsRelease(*floor, release, digest))
            << floor->number << "|" << ToUtf8(floor->digest) << " " << ToUtf8(release) << "|" << ToUtf8(digest);
}

TEST(UpdateRulesTest, RateRules) {
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

TEST(UpdateRulesTest, ResponseHeadAndProxyChoice) {
    // status, length (-1: none), location (empty: none) of a head; status -1: refused.
    const std::tuple<std::string, int, long long, std::string> heads[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 38\r\nServer: x", 200, 38, ""},
        {"HTTP/1.0 200 OK\r\ncontent-length:  7 \r\nContent-Length: 7", 200, 7, ""},
        {"HTTP/1.1 200 OK\nContent-Type: text/plain", 200, -1, ""},
        {"HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:9/quilla/a", 302, -1, "http://127.0.0.1:9/quilla/a"},
        // The Location header counts only as written.
        {"HTTP/1.1 302 Found\r\nlocation: http://127.0.0.1:9/", 302, -1, ""},
        {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 6", -1, 0, ""},
        {"HTTP/1.1 200 OK\r\nContent-Length: -5", -1, 0, ""},
        {"HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999", -1, 0, ""},
        {"ICY 200 OK", -1, 0, ""},
    };
    for (const auto& [text, status, length, location] : heads) {
        SCOPED_TRACE(text);
        ResponseHead head;
        ASSERT_EQ(status >= 0, ParseResponseHead(text, &head));
        if (status < 0) continue;
        EXPECT_EQ(status, head.status);
        EXPECT_EQ(length, head.hasLength ? static_cast<long long>(head.length) : -1);
        EXPECT_EQ(location, head.hasLocation ? head.location : "");
    }

    // proxies, bypass, server: the proxy as host:port, or empty for a direct connection.
    const std::tuple<const wchar_t*, const wchar_t*, const wchar_t*, std::wstring> proxies[] = {
        {L"ftp=f:21;http=proxy.lan:3128;https=s:443", L"", L"update.orvane.example", L"proxy.lan:3128"},
        {L"ftp=f:21 socks=s:1080", L"", L"update.orvane.example", L""},
        {L"proxy.lan", L"", L"update.orvane.example", L"proxy.lan:80"},
        {L"proxy.lan:3128", L"<local>", L"updatehost", L""},
        {L"proxy.lan:3128", L"<local>", L"update.orvane.example", L"proxy.lan:3128"},
        {L"proxy.lan:3128", L"*.ORVANE.example; 10.*", L"Update.Orvane.Example", L""},
    };
    for (const auto& [list, bypass, server, expected] : proxies) {
        SCOPED_TRACE(ToUtf8(std::wstring(list) + L" | " + bypass + L" | " + server));
        ParsedUrl proxy;
        bool proxied = ProxyFor(list, bypass, server, &proxy);
        EXPECT_EQ(expected, proxied ? proxy.server + L":" + std::to_wstring(proxy.port) : L"");
    }
}

// Any name the updater accepts resolves to a file inside the folder, never a device.
TEST(UpdateRulesTest, FolderEscapeRuleHoldsForGeneratedNames) {
    const std::wstring folder = L"C:\\Program Files\\Orvane\\";
    std::vector<std::wstring> pieces = {L"a",       L"Orvn",    L".exe", L".",      L"..",   L"...",      L"\\",
                                        L"/",       L"\\\\",    L":",    L"C:",     L"z:",   L" ",        L"~1",
                                        L"CON",     L"nul",     L"Aux",  L"com1",   L"LPT9", L"CONIN$",   L"prn.txt",
                                        L"\\\\?\\", L"\\\\.\\", L"?",    L"*",      L"한글", L"목록.txt", L"\u00fc",
                                        L"\u00b9",  L"\t",      L"\x7f", L"%2e%2e", L"..\\", L"../",      L".\\"};
    for (size_t length : {120, 255}) pieces.push_back(std::wstring(length, L'x'));
    std::mt19937 random(12345);
    int accepted = 0;
    for (int i = 0; i < 100000; ++i) {
        std::wstring name;
        for (int k = 0, count = 1 + random() % 7; k < count; ++k)
            name += random() % 4 ? pieces[random() % pieces.size()] : std::wstring(1, wchar_t(1 + random() % 0x2FF));
        if (!CUpdater::IsSafeFileName(name)) continue;
        ++accepted;
        wchar_t full[4096] = {};
        std::wstring target(full, ::GetFullPathNameW((folder + name).c_str(), 4096, full, nullptr));
        ASSERT_GT(target.size(), folder.size()) << "name " << i;
        ASSERT_EQ(0, _wcsnicmp(target.c_str(), folder.c_str(), folder.size())) << "name " << i << " -> escapes";
        ASSERT_NE(L"\\\\.\\", target.substr(0, 4)) << "name " << i << " -> a device";
    }
    EXPECT_GT(accepted, 5000);
}

}  // namespace
