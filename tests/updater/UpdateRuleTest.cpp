// Which manifest entries the updater fetches, what it records and where it may
// write, in-process over real files, the real profile and the stand-in server.
#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "AppBase.h"
#include "RecordingUi.h"
#include "TestSupport.h"
#include "UpdateServer.h"
#include "Updater.h"

using namespace testing_support;

namespace {

const wchar_t kProfile[] = L"start.INI";

class UpdateRuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::WritePrivateProfileStringW(L"Version", nullptr, nullptr, kProfile);
        ProxySetting::TurnOff();
        m_program = MakeTempFolder(L"orvn-prog-");
        m_temp = MakeTempFolder(L"orvn-temp-");
        m_release = MakeTempFolder(L"orvn-rel-");
    }
    void TearDown() override {
        ::WritePrivateProfileStringW(L"Version", nullptr, nullptr, kProfile);
        for (auto* folder : {&m_program, &m_temp, &m_release}) RemoveFolder(*folder);
    }
    CUpdater::Settings Settings(int port) const {
        return {m_program, m_temp, L"127.0.0.1:" + std::to_wstring(port), L"", kProfile, ""};
    }
    void Run(UpdateServer& server, const std::vector<ManifestEntry>& entries, int total = -1) {
        ASSERT_TRUE(WriteManifest(m_release + L"version.ini", entries, total));
        RecordingUi ui;
        ui.showDialog = false;
        CUpdater updater(ui, Settings(server.Port()));
        EXPECT_EQ(0, updater.ProcessManifest(m_release + L"version.ini"));
    }

    std::wstring m_program, m_temp, m_release;
};

struct FixedProbeUpdater : CUpdater {
    FixedProbeUpdater(IUpdateUi& ui, Settings settings, DWORD reply)
        : CUpdater(ui, std::move(settings)), m_reply(reply) {}
    DWORD ProbeReplyTime() override { return m_reply; }
    DWORD m_reply;
};

TEST_F(UpdateRuleTest, VersionRule) {
    for (const wchar_t* name : {L"Orvn.exe", L"UPPER.DLL", L"Toolexe", L"Versioned.txt"})
        ASSERT_TRUE(CopyFileTo(TestFolder() + L"OrvnStandIn3.exe", m_program + name));
    ASSERT_TRUE(CopyFileTo(TestFolder() + L"GameStandIn.exe", m_program + L"NoVersion.exe"));
    ASSERT_TRUE(WriteFileBytes(m_program + L"Data.txt", "data"));
    ::WritePrivateProfileStringW(L"Version", L"Data.txt", L"5", kProfile);
    ::WritePrivateProfileStringW(L"Version", L"Versioned.txt", L"7", kProfile);
    ASSERT_EQ(L"1,0,0,3", CUpdater::FileVersionText(m_program + L"Orvn.exe"));

    // Versions compare as texts, without order; the kind goes by the last three letters in any case.
    const std::tuple<const wchar_t*, const wchar_t*, BOOL> rows[] = {
        {L"Orvn.exe", L"1,0,0,3", FALSE},  {L"Orvn.exe", L"1,0,0,4", TRUE},    {L"Orvn.exe", L"1,0,0,2", TRUE},
        {L"Orvn.exe", L"1.0.0.3", TRUE},   {L"Missing.exe", L"1,0,0,3", TRUE}, {L"NoVersion.exe", L"9,9,9,9", FALSE},
        {L"UPPER.DLL", L"1,0,0,3", FALSE}, {L"Toolexe", L"1,0,0,3", FALSE},    {L"Data.txt", L"5", FALSE},
        {L"Data.txt", L"6", TRUE},         {L"Versioned.txt", L"7", TRUE},     {L"New.txt", L"1", TRUE},
    };
    RecordingUi ui;
    CUpdater updater(ui, Settings(0));
    for (const auto& [name, version, fetch] : rows)
        EXPECT_EQ(fetch, updater.NeedsUpdate(name, version, 123)) << ToUtf8(name) << " " << ToUtf8(version);
    // Deciding records nothing: a version is recorded once its file is installed.
    EXPECT_EQ(L"5", RecordedVersion(L"Data.txt"));
    EXPECT_EQ(L"", RecordedVersion(L"New.txt"));
    EXPECT_TRUE(ui.statuses.empty());
}

TEST_F(UpdateRuleTest, RecordedVersionsAndTotal) {
    for (const wchar_t* name : {L"Free.txt", L"Other.txt", L"Third.txt", L"Retry.txt"})
        ASSERT_TRUE(WriteFileBytes(m_release + name, ToCp949(name).substr(0, 5)));
    UpdateServer server;
    ASSERT_TRUE(server.Start(m_release, {L"Retry.txt=404"}));
    std::vector<ManifestEntry> manifest = {
        {L"Free.txt", L"2", 5}, {L"Other.txt", L"1", 5}, {L"Retry.txt", L"1", 5}, {L"Third.txt", L"1", 5}};

    // Total = 3: the fourth section is never read.
    Run(server, manifest, 3);
    EXPECT_EQ(FileBytes(m_release + L"Free.txt"), FileBytes(m_program + L"Free.txt"));
    EXPECT_EQ(L"2", RecordedVersion(L"Free.txt"));
    EXPECT_EQ(0, server.CountRequests(L"Third.txt"));
    // The failed fetch installs nothing and records nothing.
    EXPECT_EQ(1, server.CountRequests(L"Retry.txt"));
    EXPECT_FALSE(CAppBase::FileExists(m_program + L"Retry.txt"));
    EXPECT_EQ(L"", RecordedVersion(L"Retry.txt"));

    // Next run: only the failed entry is tried again.
    Run(server, manifest, 3);
    EXPECT_EQ(1, server.CountRequests(L"Free.txt"));
    EXPECT_EQ(1, server.CountRequests(L"Other.txt"));
    EXPECT_EQ(2, server.CountRequests(L"Retry.txt"));

    // A deleted file is fetched again although its version stays recorded.
    ASSERT_TRUE(::DeleteFileW((m_program + L"Free.txt").c_str()));
    Run(server, manifest, 3);
    EXPECT_EQ(2, server.CountRequests(L"Free.txt"));
    EXPECT_EQ(FileBytes(m_release + L"Free.txt"), FileBytes(m_program + L"Free.txt"));

    // Once the server has the file, it is installed and recorded.
    server.Stop();
    UpdateServer healthy;
    ASSERT_TRUE(healthy.Start(m_release));
    Run(healthy, manifest, 3);
    EXPECT_EQ(FileBytes(m_release + L"Retry.txt"), FileBytes(m_program + L"Retry.txt"));
    EXPECT_EQ(L"1", RecordedVersion(L"Retry.txt"));
    EXPECT_EQ(0, healthy.CountRequests(L"Free.txt"));
}

TEST_F(UpdateRuleTest, OnlyAnEchoOfZeroMillisecondsSkipsTheRun) {
    // A probe host that does not resolve is no answer, not an echo to 0.0.0.0.
    RecordingUi ui;
    CUpdater::Settings unresolved = Settings(0);
    unresolved.probeHost = L"no-such-host.invalid";
    EXPECT_EQ(DWORD(-1), CUpdater(ui, unresolved).ProbeReplyTime());

    ASSERT_TRUE(WriteFileBytes(m_release + L"Free.txt", "free"));
    ASSERT_TRUE(WriteManifest(m_release + L"version.ini", {{L"Free.txt", L"1", 4}}));
    UpdateServer server;
    ASSERT_TRUE(server.Start(m_release));
    EXPECT_EQ(CUpdater::Outcome::Skipped, FixedProbeUpdater(ui, Settings(server.Port()), 0).CheckProgram());
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_TRUE(ui.statuses.empty());
    for (DWORD reply : {1ul, 300ul, static_cast<unsigned long>(-1)})
        EXPECT_EQ(CUpdater::Outcome::Updated, FixedProbeUpdater(ui, Settings(server.Port()), reply).CheckProgram());
    EXPECT_EQ(3, server.CountRequests(L"version.ini"));
    EXPECT_EQ(L"완료", ui.statuses[4]);
    // No manifest: the caller shows the failure.
    server.Stop();
    EXPECT_EQ(CUpdater::Outcome::ManifestFailed, FixedProbeUpdater(ui, Settings(server.Port()), 5).CheckProgram());
}

// Any name the updater accepts resolves to a file inside the folder, never a device.
TEST_F(UpdateRuleTest, FolderEscapeRuleHoldsForGeneratedNames) {
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
        for (int k = 0, count = 1 + random() % 7; k < count; ++k) {
            if (random() % 4 == 0)
                name += static_cast<wchar_t>(1 + random() % 0x2FF);
            else
                name += pieces[random() % pieces.size()];
        }
        if (!CUpdater::IsSafeFileName(name)) continue;
        ++accepted;
        wchar_t full[4096] = {};
        DWORD n = ::GetFullPathNameW((folder + name).c_str(), 4096, full, nullptr);
        ASSERT_GT(n, 0u) << "name " << i;
        std::wstring target(full, n);
        ASSERT_GT(target.size(), folder.size()) << "name " << i;
        ASSERT_EQ(0, _wcsnicmp(target.c_str(), folder.c_str(), folder.size())) << "name " << i << " -> escapes";
        ASSERT_NE(L"\\\\.\\", target.substr(0, 4)) << "name " << i << " -> a device";
    }
    EXPECT_GT(accepted, 5000);
}

}  // namespace
