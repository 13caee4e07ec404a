// The real start.exe, keyless and keyed, against the stand-in update server and a launcher stand-in.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <tuple>

#include "AppBase.h"
#include "TestSupport.h"
#include "UpdateServer.h"

using namespace testing_support;

namespace {

const wchar_t kFailed[] = L"업데이트정보를 가져오는데 실패하였습니다.";
const char kOldFree[] = "old free list";

std::wstring TempPath() {
    wchar_t temp[MAX_PATH] = {};
    return std::wstring(temp, ::GetTempPathW(MAX_PATH, temp));
}

bool AnyFile(const std::wstring& pattern) {
    WIN32_FIND_DATAW data;
    return bool(UniqueFindHandle(::FindFirstFileW(pattern.c_str(), &data)));
}

class UpdateRunTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        // No record of an older updater to take over.
        ::DeleteFileW(CAppBase::ProfileFilePath(L"start.INI").c_str());
        m_program = MakeTempFolder(L"orvn-run-prog-");
        m_profile = m_program + L"start.INI";
        // The publisher's keys in a folder of this test: the record of what they signed starts empty.
        m_signing = MakeTempFolder(L"orvn-run-key-");
        for (const wchar_t* key : {L"publisher.pem", L"other.pem"})
            ASSERT_TRUE(CopyFileTo(L"Z:" ORVN_TEST_SIGNING_FOLDER L"/" + std::wstring(key), m_signing + key));
        // The release one level down, so a name leaving it stays in a folder of this test.
        m_releaseRoot = MakeTempFolder(L"orvn-run-rel-");
        m_release = m_releaseRoot + L"r\\";
        ASSERT_TRUE(::CreateDirectoryW(m_release.c_str(), nullptr));
        ASSERT_TRUE(CopyFileTo(m_keyed ? TestFolder() + L"StartSigned.exe" : DistFolder() + L"start.exe",
                               m_program + L"start.exe"));
        ResetProgram();
        ASSERT_TRUE(CopyFileTo(TestFolder() + L"OrvnStandIn4.exe", m_release + L"Orvn.exe"));
        ASSERT_TRUE(WriteFileBytes(m_release + L"Free.txt", "new free list, longer than the old one"));
        m_entries = {{L"Orvn.exe", L"1,0,0,4", Size(L"Orvn.exe")}, {L"Free.txt", L"2", 38}};
        Publish();
    }
    void TearDown() override {
        m_proxy.reset();
        m_server.reset();
        RemoveFolder(m_program);
        RemoveFolder(m_releaseRoot);
        RemoveFolder(m_signing);
    }
    void ResetProgram() {
        ::WritePrivateProfileStringW(L"Version", L"Free.txt", L"1", m_profile.c_str());
        // The launcher the previous run started may not have ended yet; its program is in use until it does.
        ASSERT_TRUE(PumpUntil([&] { return CopyFileTo(TestFolder() + L"OrvnStandIn3.exe", m_program + L"Orvn.exe"); },
                              20000));
        ASSERT_TRUE(WriteFileBytes(m_program + L"Free.txt", kOldFree));
        ::DeleteFileW((m_program + L"Orvn.exe.log").c_str());
    }
    // Serves the release, through the user's proxy setting, until the next call or the test's end.
    bool Serve(const std::vector<std::wstring>& faults = {}, bool refuse = false) {
        m_proxy.reset();
        m_server = std::make_unique<UpdateServer>();
        if (!m_server->Start(m_release, faults, refuse)) return false;
        m_proxy = std::make_unique<ProxySetting>(m_server->Port());
        return true;
    }
    int Size(const std::wstring& name) { return static_cast<int>(FileBytes(m_release + name).size()); }
    // For the keyed updater the publisher hashes, numbers and signs the manifest.
    void Publish(const wchar_t* key = L"publisher") {
        ASSERT_TRUE(WriteManifest(m_release + L"version.ini", m_entries));
        if (!m_keyed) return;
        std::wstring number = std::to_wstring(++m_releaseNumber);
        ASSERT_TRUE(
            RunReleaseTool({L"release", UnixPath(m_signing) + key + L".pem", UnixPath(m_release), number}, m_release));
    }
    // Runs start.exe to its end, answering the failure box a refused manifest shows.
    DWORD RunUpdater(Process* process = nullptr) {
        Process own;
        Process& p = process ? *process : own;
        if (!p.process && !StartProcess(m_program + L"start.exe", L"", m_program, &p)) return 1;
        HWND box = nullptr;
        PumpUntil([&] { return p.Wait(0) != STILL_ACTIVE || (box = WaitForDialog(L"Start", 0, p.pid)); }, 60000);
        m_boxShown = box != nullptr;
        if (box) {
            EXPECT_EQ(kFailed, DialogText(box));
            // Runs that can fail start with no launcher log: the launcher waits for the box.
            EXPECT_FALSE(CAppBase::FileExists(m_program + L"Orvn.exe.log"));
            ClickDialogButton(box, IDOK);
        }
        return p.Wait(90000);
    }
    int LauncherStarts(int expected) { return testing_support::LauncherStarts(m_program, expected); }
    void ExpectInstalled(const wchar_t* name) {
        EXPECT_TRUE(FileBytes(m_release + name) == FileBytes(m_program + name)) << ToUtf8(name);
    }
    void ExpectOldFilesIntact() {
        EXPECT_EQ(1, LauncherStarts(1));
        EXPECT_TRUE(FileBytes(TestFolder() + L"OrvnStandIn3.exe") == FileBytes(m_program + L"Orvn.exe"));
        EXPECT_EQ(kOldFree, FileBytes(m_program + L"Free.txt"));
        EXPECT_EQ(L"1", RecordedVersion(m_program, L"Free.txt"));
        EXPECT_FALSE(AnyFile(m_program + L"*.orvn-*"));
    }

    const bool m_keyed = GetParam();
    bool m_boxShown = false;
    int m_releaseNumber = 4;
    std::wstring m_program, m_profile, m_releaseRoot, m_release, m_signing;
    std::vector<ManifestEntry> m_entries;
    std::unique_ptr<UpdateServer> m_server;
    std::unique_ptr<ProxySetting> m_proxy;
};

INSTANTIATE_TEST_SUITE_P(Builds, UpdateRunTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Keyed" : "Keyless"; });

TEST_P(UpdateRunTest, InstallsTheChangedFilesAndACancelledOneOnTheNextRun) {
    // Orvn.exe comes over one redirect; Free.txt's body is held back 2 s, time to press Cancel.
    ASSERT_TRUE(Serve({L"Orvn.exe=redirect", L"Free.txt=hold"}));
    Process updater;
    ASSERT_TRUE(StartProcess(m_program + L"start.exe", L"", m_program, &updater));
    HWND frame = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (frame = FindTopLevel(L"Start", updater.pid)) != nullptr; }, 20000));
    RECT r;
    ::GetWindowRect(frame, &r);
    // Centred on the bench's 1024 by 768 screen, no menu, no caption.
    EXPECT_EQ((std::vector<LONG>{267, 257, 756, 510}), (std::vector<LONG>{r.left, r.top, r.right, r.bottom}));
    EXPECT_EQ(nullptr, ::GetMenu(frame));
    EXPECT_EQ(0, ::GetWindowLongW(frame, GWL_STYLE) & (WS_CAPTION | WS_BORDER));
    // Orvn.exe comes first, then Free.txt; the real probe host may take long to give up under Wine.
    ASSERT_TRUE(PumpUntil([&] { return m_server->CountRequests(L"Free.txt") == 1; }, 120000));
    HWND progress = WaitForDialog(L"다운로드", 10000, updater.pid);
    ASSERT_TRUE(progress);
    EXPECT_FALSE(::IsWindowEnabled(frame)) << "the progress dialog keeps the window disabled";
    ClickDialogButton(progress, IDCANCEL);
    EXPECT_EQ(0u, RunUpdater(&updater));
    ExpectInstalled(L"Orvn.exe");
    EXPECT_EQ(kOldFree, FileBytes(m_program + L"Free.txt"));
    EXPECT_EQ(L"1", RecordedVersion(m_program, L"Free.txt"));
    EXPECT_EQ(1, LauncherStarts(1));
    // A release only partly installed does not yet raise the floor against replays.
    EXPECT_EQ(0, int(::GetPrivateProfileIntW(L"Release", L"Accepted", 0, m_profile.c_str())));

    // The next run fetches only what is still out of date.
    EXPECT_EQ(0u, RunUpdater());
    ExpectInstalled(L"Free.txt");
    EXPECT_EQ(L"2", RecordedVersion(m_program, L"Free.txt"));
    EXPECT_EQ(2, m_server->CountRequests(L"Orvn.exe")) << "the first run's request and its redirect only";
    EXPECT_EQ(2, LauncherStarts(2));
    EXPECT_FALSE(AnyFile(m_program + L"*.orvn-*"));
    // The keyed updater keeps the installed release's number as the floor against replays.
    if (m_keyed) {
        EXPECT_EQ(m_releaseNumber, int(::GetPrivateProfileIntW(L"Release", L"Accepted", 0, m_profile.c_str())));
    }
}

TEST_P(UpdateRunTest, EveryServerFaultLeavesTheInstallationIntact) {
    if (m_keyed) GTEST_SKIP() << "the transfers are the same in both builds";
    // "refuse": the host is down, the failure box shows.
    for (std::wstring kind :
         {L"refuse", L"404", L"500", L"cut", L"wronglength", L"stall", L"redirect2", L"lowerlocation"}) {
        SCOPED_TRACE(ToUtf8(kind));
        ResetProgram();
        ASSERT_TRUE(Serve({L"Orvn.exe=" + kind, L"Free.txt=" + kind}, kind == L"refuse"));
        EXPECT_EQ(0u, RunUpdater());
        EXPECT_EQ(kind == L"refuse", m_boxShown);
        EXPECT_EQ(kind != L"refuse", m_server->CountRequests(L"Free.txt") > 0);
        ExpectOldFilesIntact();
    }
}

TEST_P(UpdateRunTest, RunningProgramsAreReplacedAndUnsafeOrUnwritableEntriesSkipped) {
    // The updater itself, and a name leaving the folder (its file beside the release).
    ASSERT_TRUE(CopyFileTo(TestFolder() + L"StartLocalProbe.exe", m_release + L"start.exe"));
    m_entries.push_back({L"start.exe", L"1,0,0,9", Size(L"start.exe")});
    ASSERT_TRUE(WriteFileBytes(m_releaseRoot + L"escape.txt", "escape"));
    Publish();
    // The publisher's tool refuses such a name: it is added to the release afterwards, hash and all.
    const std::wstring manifest = m_release + L"version.ini";
    const std::wstring last = L"File" + std::to_wstring(m_entries.size() + 1);
    ::WritePrivateProfileStringW(L"Count", L"Total", std::to_wstring(m_entries.size() + 1).c_str(), manifest.c_str());
    // Other contents take a number of their own.
    ::WritePrivateProfileStringW(L"Count", L"Release", std::to_wstring(++m_releaseNumber).c_str(),
                                 manifest.c_str());
    for (const auto& [key, value] : {std::pair{L"Filename", L"..\\escape.txt"}, {L"Fileversion", L"1"},
                                     {L"Filesize", L"6"},
                                     {L"Filehash", L"b3140286ac71ad2acf69681f4f2a907b0b83d8edfbffdd4e0a38c05a23180495"}})
        ::WritePrivateProfileStringW(last.c_str(), key, value, manifest.c_str());
    if (m_keyed) {
        ASSERT_TRUE(RunReleaseTool({L"sign", UnixPath(m_signing) + L"publisher.pem", UnixPath(m_release)}, m_release));
    }
    // The staged copy of Free.txt cannot be written: a folder has its name.
    const std::wstring blocked = m_program + L"Free.txt.orvn-part";
    ASSERT_TRUE(::CreateDirectoryW(blocked.c_str(), nullptr));
    Process running;
    ASSERT_TRUE(StartProcess(m_program + L"Orvn.exe", L"stay", m_program, &running));
    ASSERT_TRUE(PumpUntil([&] { return CAppBase::FileExists(m_program + L"Orvn.exe.log"); }, 10000));
    ASSERT_TRUE(Serve());
    EXPECT_EQ(0u, RunUpdater());
    ::RemoveDirectoryW(blocked.c_str());
    // The run went on past the failed entries and handed over (the running launcher logged the first
    // start); the launcher it started put the new start.exe in place first.
    EXPECT_EQ(2, LauncherStarts(2));
    ExpectInstalled(L"Orvn.exe");
    ExpectInstalled(L"start.exe");
    EXPECT_FALSE(AnyFile(m_program + L"*.orvn-new"));
    EXPECT_FALSE(AnyFile(TempPath() + L"orvn-update-*")) << "each run removes its own download folder";
    EXPECT_EQ(0, m_server->CountRequests(L"../escape.txt") + m_server->CountRequests(L"..\\escape.txt"));
    EXPECT_FALSE(CAppBase::FileExists(m_program + L"..\\escape.txt"));
    EXPECT_EQ(kOldFree, FileBytes(m_program + L"Free.txt"));
    EXPECT_EQ(L"1", RecordedVersion(m_program, L"Free.txt"));
    ::TerminateProcess(running.process, 0);
    running.Wait(5000);
    // The next run, of the updater just installed (its version now listed), removes what was moved aside.
    m_entries.back().version = L"1,0,0,3";
    Publish();
    EXPECT_EQ(0u, RunUpdater());
    EXPECT_FALSE(AnyFile(m_program + L"*.orvn-*"));
}

TEST_P(UpdateRunTest, NoAttackOnASignedReleaseInstallsAnything) {
    if (!m_keyed) GTEST_SKIP() << "the keyless build checks no signature";
    auto edit = [&](const std::wstring& name, const std::function<void(std::string&)>& change) {
        std::string bytes = FileBytes(m_release + name);
        change(bytes);
        ASSERT_TRUE(WriteFileBytes(m_release + name, bytes));
    };
    const std::wstring signature = L"version.ini.sig";
    const std::vector<std::pair<const char*, std::function<void()>>> attacks = {
        {"one byte changed", [&] { edit(L"version.ini", [](std::string& t) { t[t.find("Release=") + 8] ^= 1; }); }},
        {"another key", [&] { Publish(L"other"); }},
        {"no signature", [&] { ::DeleteFileW((m_release + signature).c_str()); }},
        {"files swapped",
         [&] {
             edit(L"Free.txt", [](std::string& t) { t += "!"; });
             edit(L"Orvn.exe", [](std::string& t) { t += "x"; });
         }},
        {"entries without a hash",
         [&] {
             ASSERT_TRUE(WriteManifest(m_release + L"version.ini", m_entries));
             ::WritePrivateProfileStringW(L"Count", L"Release", std::to_wstring(++m_releaseNumber).c_str(),
                                          (m_release + L"version.ini").c_str());
             ASSERT_TRUE(
                 RunReleaseTool({L"sign", UnixPath(m_signing) + L"publisher.pem", UnixPath(m_release)}, m_release));
         }},
        {"older release replayed",
         [&] { ::WritePrivateProfileStringW(L"Release", L"Accepted", L"999", m_profile.c_str()); }},
        {"empty signature", [&] { WriteFileBytes(m_release + signature, ""); }},
        {"huge signature", [&] { edit(signature, [](std::string& t) { t += std::string(1 << 20, '0'); }); }},
    };
    ASSERT_TRUE(Serve());
    for (const auto& [name, attack] : attacks) {
        SCOPED_TRACE(name);
        ResetProgram();
        ::WritePrivateProfileStringW(L"Release", nullptr, nullptr, m_profile.c_str());
        Publish();
        attack();
        EXPECT_EQ(0u, RunUpdater());
        ExpectOldFilesIntact();
    }
}

TEST_P(UpdateRunTest, ASecondRunFetchesNothingAndTheFirstInstallsOnlyItsOwnRelease) {
    // A second request of the manifest gets another one, unsigned, naming a file of its own.
    ASSERT_TRUE(WriteFileBytes(m_release + L"Evil.txt", "evil"));
    ASSERT_TRUE(WriteManifest(m_release + L"version.ini.alt", {{L"Evil.txt", L"1", 4}, {L"Orvn.exe", L"1,0,0,9", 4}}));
    // The first run's Orvn.exe waits until the second updater is up.
    ASSERT_TRUE(Serve({L"version.ini=swap", L"Orvn.exe=gate"}));
    Process first, second;
    ASSERT_TRUE(StartProcess(m_program + L"start.exe", L"", m_program, &first));
    ASSERT_TRUE(PumpUntil([&] { return m_server->CountRequests(L"Orvn.exe") == 1; }, 60000));
    ASSERT_TRUE(StartProcess(m_program + L"start.exe", L"", m_program, &second));
    ASSERT_TRUE(PumpUntil([&] { return FindTopLevel(L"Start", second.pid) != nullptr; }, 20000));
    // Were it to run, the second would ask for the manifest within its probe's time.
    EXPECT_FALSE(PumpUntil([&] { return m_server->CountRequests(L"version.ini") > 1; }, 6000));
    ASSERT_TRUE(WriteFileBytes(m_release + L"Orvn.exe.go", ""));
    EXPECT_EQ(0u, RunUpdater(&first));
    EXPECT_EQ(0u, RunUpdater(&second));
    EXPECT_EQ(1, m_server->CountRequests(L"version.ini"));
    ExpectInstalled(L"Orvn.exe");
    ExpectInstalled(L"Free.txt");
    EXPECT_FALSE(CAppBase::FileExists(m_program + L"Evil.txt"));
    EXPECT_EQ(2, LauncherStarts(2));
}

TEST_P(UpdateRunTest, ASlowServerNeitherFreezesTheWindowsNorHoldsThePlayer) {
    if (m_keyed) GTEST_SKIP() << "the waits are the same in both builds";
    {
        // One byte every 3 s of the manifest: the window answers throughout, the run gives up in time.
        ASSERT_TRUE(Serve({L"version.ini=drip"}));
        Process updater;
        ASSERT_TRUE(StartProcess(m_program + L"start.exe", L"", m_program, &updater));
        HWND frame = nullptr, box = nullptr;
        ASSERT_TRUE(PumpUntil([&] { return (frame = FindTopLevel(L"Start", updater.pid)) != nullptr; }, 20000));
        DWORD shown = ::GetTickCount(), slowest = 0;
        PumpUntil(
            [&] {
                DWORD sent = ::GetTickCount();
                DWORD_PTR result;
                if (!::SendMessageTimeoutW(frame, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &result)) return false;
                slowest = std::max(slowest, ::GetTickCount() - sent);
                return (box = WaitForDialog(L"Start", 0, updater.pid)) != nullptr;
            },
            60000);
        ASSERT_TRUE(box);
        EXPECT_LT(::GetTickCount() - shown, 40000u);
        EXPECT_LT(slowest, 500u) << "the window stopped answering";
        EXPECT_GT(m_server->CountRequests(L"version.ini"), 0);
        EXPECT_EQ(kFailed, DialogText(box));
        ClickDialogButton(box, IDOK);
        EXPECT_EQ(0u, updater.Wait(30000));
        EXPECT_EQ(1, LauncherStarts(1));
    }
    {
        // Esc during the manifest's fetch skips the update without a word.
        Process updater;
        ASSERT_TRUE(StartProcess(m_program + L"start.exe", L"", m_program, &updater));
        HWND frame = nullptr;
        ASSERT_TRUE(PumpUntil([&] { return (frame = FindTopLevel(L"Start", updater.pid)) != nullptr; }, 20000));
        ASSERT_TRUE(PumpUntil([&] { return m_server->CountRequests(L"version.ini") == 2; }, 20000));
        ::SetForegroundWindow(frame);
        Pump(50);
        PressKey(VK_ESCAPE);
        EXPECT_EQ(0u, RunUpdater(&updater));
        EXPECT_FALSE(m_boxShown);
        EXPECT_EQ(2, LauncherStarts(2));
    }
    {
        // The same on a file: Cancel, by a real click, hands over at once.
        ::WritePrivateProfileStringW(L"Version", L"Free.txt", L"2", m_profile.c_str());
        ASSERT_TRUE(Serve({L"Orvn.exe=drip"}));
        Process updater;
        ASSERT_TRUE(StartProcess(m_program + L"start.exe", L"", m_program, &updater));
        HWND progress = WaitForDialog(L"다운로드", 60000, updater.pid);
        ASSERT_TRUE(progress);
        ASSERT_TRUE(PumpUntil([&] { return m_server->CountRequests(L"Orvn.exe") == 1; }, 10000));
        ClickDialogButton(progress, IDCANCEL);
        DWORD clicked = ::GetTickCount();
        ASSERT_EQ(3, LauncherStarts(3));
        DWORD handedOver = ::GetTickCount() - clicked;
        printf("cancel to launcher: %lu ms\n", handedOver);
        // Xvfb has no window manager: Wine waits about 2 s there for each window it closes.
        EXPECT_LT(handedOver, 2000u + 2500u);
        EXPECT_EQ(0u, updater.Wait(30000));
        EXPECT_TRUE(FileBytes(TestFolder() + L"OrvnStandIn3.exe") == FileBytes(m_program + L"Orvn.exe"));
    }
}

TEST_P(UpdateRunTest, AnEndlessAnswerStopsAtItsBoundWithNothingLargerOnDisk) {
    // The manifest (with a key, its signature) and then a file body never end.
    const std::vector<std::tuple<std::wstring, unsigned long long, bool>> cases = {
        {m_keyed ? L"version.ini.sig" : L"version.ini", m_keyed ? 1024 : 1024 * 1024, true},
        {L"Orvn.exe", Size(L"Orvn.exe"), false}};
    for (const auto& [name, bound, failsManifest] : cases) {
        SCOPED_TRACE(ToUtf8(name));
        ResetProgram();
        ASSERT_TRUE(Serve({name + L"=endless"}));
        DiskWatch watch({{TempPath(), L"\\orvn-update-"}, {m_program, L".orvn-"}, {InternetCacheFolder(), L""}});
        // Nothing of the update server's goes into the platform's download cache.
        DiskWatch cache({{InternetCacheFolder(), L"version"}, {InternetCacheFolder(), L"Orvn"}});
        EXPECT_EQ(0u, RunUpdater());
        EXPECT_EQ(failsManifest, m_boxShown);
        EXPECT_LE(watch.Largest(), bound);
        EXPECT_EQ(0u, cache.Largest());
        if (failsManifest) {
            ExpectOldFilesIntact();
        } else {
            EXPECT_TRUE(FileBytes(TestFolder() + L"OrvnStandIn3.exe") == FileBytes(m_program + L"Orvn.exe"));
            EXPECT_EQ(1, LauncherStarts(1));
        }
    }
}

TEST_P(UpdateRunTest, WhatARunKilledBetweenTwoRenamesLeftTheNextRunFinishes) {
    if (m_keyed) GTEST_SKIP() << "the recovery is the same in both builds";
    // The old updater moved aside, the new one staged whole, no start.exe.
    ASSERT_TRUE(::MoveFileW((m_program + L"start.exe").c_str(), (m_program + L"start.exe.orvn-old").c_str()));
    ASSERT_TRUE(CopyFileTo(TestFolder() + L"StartLocalProbe.exe", m_program + L"start.exe.orvn-new"));
    ASSERT_TRUE(Serve());
    Process old;
    ASSERT_TRUE(StartProcess(m_program + L"start.exe.orvn-old", L"", m_program, &old));
    EXPECT_EQ(0u, RunUpdater(&old));
    EXPECT_TRUE(FileBytes(TestFolder() + L"StartLocalProbe.exe") == FileBytes(m_program + L"start.exe"));
    // The start.exe now in place runs, hands over, and removes the old copy.
    EXPECT_EQ(0u, RunUpdater());
    EXPECT_EQ(2, LauncherStarts(2));
    EXPECT_FALSE(AnyFile(m_program + L"*.orvn-*"));
}

}  // namespace
