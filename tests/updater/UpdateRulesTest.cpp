// The updater's pure rules, table-driven and without windows: the manifest as
// the profile functions read it, the signature's encoding, release numbers and
// the floor's record, the percent label and the installation's identity.
#include <gtest/gtest.h>

#include <tuple>

#include "Download.h"
#include "DownloadDlg.h"
#include "Manifest.h"
#include "Signature.h"
#include "TestSupport.h"
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

    // Only sections 1 to Total are read; no Total, a negative one or none at all is empty;
    // more than the bound is refused. UTF-16 with its mark reads too.
    const std::pair<std::string, int> totals[] = {
        {"[Count]\nTotal=1\n" + Entry(1, "a", "1", "1") + Entry(2, "b", "1", "1"), 1},
        {"[Count]\nTotal=-2\n" + Entry(1, "a", "1", "1"), 0},
        {Entry(1, "a", "1", "1"), 0},
        {"", 0},
        {"[Count]\nTotal=1000\n", 1000},
        {"[Count]\nTotal=1001\n", -1},
        {"[Count]\nTotal=99999999999999999999\n", -1},
    };
    for (const auto& [manifest, total] : totals) {
        SCOPED_TRACE(manifest);
        ASSERT_EQ(total >= 0, CManifest::Parse(manifest, &m));
        if (total >= 0) {
            EXPECT_EQ(static_cast<size_t>(total), m.m_entries.size());
        }
    }
    std::wstring wide = L"\xFEFF[Count]\r\nTotal=1\r\n[File1]\r\nFilename=넓은.txt\r\n";
    ASSERT_TRUE(CManifest::Parse(std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2), &m));
    ASSERT_EQ(1u, m.m_entries.size());
    EXPECT_EQ(L"넓은.txt", m.m_entries[0].name);
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
    const std::pair<std::vector<BYTE>, bool> signatures[] = {
        {der(r, s), true},
        {trailing, false},
        {truncated, false},
        {der(high, s), true},                       // a leading zero keeps a high value positive
        {der({0x05}, s), true},                     // short values are right-aligned
        {der({0x00, 0x05}, s), false},              // a needless leading zero
        {der({0x85}, s), false},                    // negative
        {der(std::vector<BYTE>(33, 0x11), s), false},  // too long
        {der({}, s), false},
        {{0x30, 0x00}, false},
    };
    for (const auto& [bytes, ok] : signatures) EXPECT_EQ(ok, CSignature::DerToRaw(bytes, raw)) << bytes.size();
    ASSERT_TRUE(CSignature::DerToRaw(der({0x05}, s), raw));
    EXPECT_EQ(0x05, raw[31]);
    EXPECT_EQ(0, raw[0]);

    const std::pair<const wchar_t*, long long> releases[] = {
        {L"12", 12},   {L"0", 0},         {L"", -1},   {L"-1", -1},    {L"+1", -1}, {L" 1", -1},
        {L"1x", -1},   {L"\u0661", -1},   {L"999999999999999999", 999999999999999999},
        {L"1000000000000000000", -1},
    };
    for (const auto& [text, number] : releases) EXPECT_EQ(number, CUpdater::ReleaseNumber(text)) << ToUtf8(text);

    // The label: the true share, 0 to 100, and 100 once a file is whole, whatever its size.
    const struct {
        unsigned long long taken;
        int size;
        bool complete;
        int position;
    } shares[] = {{0, 2048, false, 0},  {1024, 2048, false, 50}, {2048, 2048, true, 100}, {250, 500, false, 50},
                  {500, 500, true, 100}, {700, 500, false, 100},  {10, 0, false, 0},       {10, 0, true, 100}};
    for (const auto& s : shares)
        EXPECT_EQ(s.position, ProgressPosition(s.taken, s.size, s.complete)) << s.taken << " of " << s.size;
    int last = 0;
    for (unsigned long long taken = 0; taken <= 10u << 20; taken += 65536) {
        int position = ProgressPosition(taken, 10 << 20, false);
        EXPECT_GE(position, last) << "went back at " << taken;
        last = position;
    }
    EXPECT_EQ(100, last);
    const std::pair<int, const wchar_t*> percents[] = {{0, L"0%"}, {50, L"50%"}, {100, L"100%"}, {137, L"100%"},
                                                       {-1, L"0%"}};
    for (const auto& [position, text] : percents) EXPECT_EQ(text, CDownloadDlg::PercentText(position, 0, 100));

    for (const wchar_t* name : {L"Orvn.exe", L"UPPER.DLL", L"a.Exe"}) EXPECT_TRUE(CUpdater::IsProgramFile(name));
    for (const wchar_t* name : {L"Toolexe", L"exe", L"a.dl"}) EXPECT_FALSE(CUpdater::IsProgramFile(name));
    for (const wchar_t* name : {L"Free.txt", L"ex", L"exe.txt", L"dl"}) EXPECT_FALSE(CUpdater::IsProgramFile(name));

    // One installation for every spelling of a folder, another for another folder.
    std::wstring folder = MakeTempFolder(L"orvn-lock-");
    ASSERT_TRUE(::CreateDirectoryW((folder + L"other").c_str(), nullptr));
    std::wstring upper = folder;
    ::CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    EXPECT_EQ(CUpdater::InstallationId(folder), CUpdater::InstallationId(upper));
    EXPECT_EQ(CUpdater::InstallationId(folder), CUpdater::InstallationId(folder + L"other\\..\\"));
    EXPECT_NE(CUpdater::InstallationId(folder), CUpdater::InstallationId(folder + L"other\\"));
    EXPECT_EQ(32u, CUpdater::InstallationId(folder).size());
    RemoveFolder(folder);
}

TEST(UpdateRulesTest, TheReleaseFloorAndItsDigest) {
    const std::wstring a(64, L'a'), b(64, L'b'), upperA(64, L'A');
    // The record's texts: a floor, or a fault to tell (never "no floor").
    const std::tuple<std::wstring, std::wstring, bool, long long> records[] = {
        {L"", L"", true, -1},           {L"5", a, true, 5},          {L"5", L"", true, 5},  // an older updater's
        {L"005", upperA, true, 5},      {L"abc", L"", false, -1},    {L"1e9", a, false, -1},
        {L"-1", L"", false, -1},        {L"5", L"xyz", false, -1},   {L"5", a + L"a", false, -1},
        {L"5", a.substr(1), false, -1}, {L"5", L"g" + a.substr(1), false, -1},
        {L"", a, false, -1},  // a digest without its number
        {L"1000000000000000000", L"", false, -1},
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

TEST(UpdateRulesTest, AManifestOfManyEmptySectionsParsesQuickly) {
    // The bound's worth of empty sections before the entries, Total at its bound:
    // each entry's look-ups must not walk every section.
    std::string text = "[Count]\r\nTotal=1000\r\n";
    for (int i = 0; text.size() < CUpdater::kMaxManifestBytes - 100; ++i) text += "[e" + std::to_string(i) + "]\r\n";
    text += Entry(1000, "Last.txt", "7", "3");
    CManifest m;
    DWORD start = ::GetTickCount();
    ASSERT_TRUE(CManifest::Parse(text, &m));
    printf("1 MiB manifest of %zu bytes, empty sections: parsed in %lu ms\n", text.size(), ::GetTickCount() - start);
    ASSERT_EQ(1000u, m.m_entries.size());
    EXPECT_EQ(L"Last.txt", m.m_entries.back().name);
    EXPECT_EQ(L"", m.m_entries.front().name);
}

}  // namespace
