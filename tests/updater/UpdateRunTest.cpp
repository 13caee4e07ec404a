// The whole update run with the real start.exe and its window, against the
// stand-in update server (as the user's proxy, so the built-in update host
// reaches it) and a stand-in launcher that records each start. Every run case
// holds for the keyless updater and for one built with a publisher key, whose
// releases the server signs; the attacks only the keyed one refuses follow.
#include <gtest/gtest.h>

#include <functional>

#include "AppBase.h"
#include "TestSupport.h"
#include "UpdateServer.h"

using namespace testing_support;

namespace {

const wchar_t kProfile[] = L"start.INI";
const std::string kSigning = ORVN_TEST_SIGNING_FOLDER;
const wchar_t kFailed[] = L"업데이트정보를 가져오는데 실패하였습니다.";

std::wstring TempFolder() {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    return temp;
}

// Files of a folder whose names contain text.
int CountFiles(const std::wstring& folder, const std::wstring& text) {
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((folder + L"*").c_str(), &data);
    int n = 0;
    if (find == INVALID_HANDLE_VALUE) return 0;
    do n += std::wstring(data.cFileName).find(text) != std::wstring::npos;
    while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return n;
}

class UpdateRun : public ::testing::Test {
protected:
    explicit UpdateRun(bool keyed) : m_keyed(keyed) {}
    void SetUp() override {
        for (const wchar_t* section : {L"Version", L"Release"})
            ::WritePrivateProfileStringW(section, nullptr, nullptr, kProfile);
        ::WritePrivateProfileStringW(L"Version", L"Same.txt", L"1", kProfile);
        m_program = MakeTempFolder(L"orvn-run-prog-");
        // The release one level down, so a name leaving it stays in a folder of this test.
        m_releaseRoot = MakeTempFolder(L"orvn-run-rel-");
        m_release = m_releaseRoot + L"r\\";
        ASSERT_TRUE(::CreateDirectoryW(m_release.c_str(), nullptr));
        // The keyless updater is the one the project ships.
        ASSERT_TRUE(CopyFileTo(m_keyed ? TestFolder() + L"StartSigned.exe" : DistFolder() + L"start.exe",
                               m_program + L"start.exe"));
        ResetProgram();
        ASSERT_TRUE(WriteFileBytes(m_program + L"Same.txt", "same"));
        ASSERT_TRUE(CopyFileTo(TestFolder() + L"OrvnStandIn4.exe", m_release + L"Orvn.exe"));
        ASSERT_TRUE(WriteFileBytes(m_release + L"Free.txt", "new free list, longer than the old one"));
        ASSERT_TRUE(WriteFileBytes(m_release + L"Same.txt", "same"));
        m_entries = {{L"Orvn.exe", L"1,0,0,4", Size(L"Orvn.exe")}, {L"Free.txt", L"2", 38}, {L"Same.txt", L"1", 4}};
        Publish();
        m_oldLauncher = FileHash(m_program + L"Orvn.exe");
        m_oldFree = FileHash(m_program + L"Free.txt");
        for (const wchar_t* name : {L"version.ini", L"Orvn.exe", L"Free.txt", L"Same.txt"})
            ::DeleteFileW((TempFolder() + name).c_str());
    }
    void TearDown() override {
        for (const wchar_t* section : {L"Version", L"Release"})
            ::WritePrivateProfileStringW(section, nullptr, nullptr, kProfile);
        RemoveFolder(m_program);
        RemoveFolder(m_releaseRoot);
    }
    // The old launcher and free list, for each run anew.
    void ResetProgram() {
        ::WritePrivateProfileStringW(L"Version", L"Free.txt", L"1", kProfile);
        ASSERT_TRUE(CopyFileTo(TestFolder() + L"OrvnStandIn3.exe", m_program + L"Orvn.exe"));
        ASSERT_TRUE(WriteFileBytes(m_program + L"Free.txt", "old free list"));
        ::DeleteFileW((m_program + L"Orvn.exe.log").c_str());
    }
    int Size(const std::wstring& name) {
        std::string bytes;
        ReadFileBytes(m_release + name, &bytes);
        return static_cast<int>(bytes.size());
    }
    // Writes the manifest; for the keyed updater the publisher hashes, numbers and signs it.
    void Publish(const char* key = "publisher") {
        ASSERT_TRUE(WriteManifest(m_release + L"version.ini", m_entries));
        if (!m_keyed) return;
        std::string number = std::to_string(++m_releaseNumber);
        ASSERT_TRUE(RunReleaseTool({"release", kSigning + "/" + key + ".pem", UnixPath(m_release), number}, m_release));
    }
    // Runs start.exe until it ends; a refused or failed manifest shows its box once, answered here.
    DWORD RunUpdater(Process* process = nullptr) {
        Process own;
        Process& p = process ? *process : own;
        if (!p.process && !StartProcess(m_program + L"start.exe", L"", m_program, &p)) return 1;
        HWND box = nullptr;
        PumpUntil([&] { return p.Wait(0) != STILL_ACTIVE || (box = WaitForDialog(L"Start", 0, p.pid)); }, 60000);
        if (box) {
            EXPECT_EQ(kFailed, DialogText(box));
            ClickDialogButton(box, IDOK);
        }
        return p.Wait(90000);
    }
    int LauncherStarts() { return testing_support::LauncherStarts(m_program); }
    void ExpectInstalled(const wchar_t* name) { EXPECT_EQ(FileHash(m_release + name), FileHash(m_program + name)); }
    void ExpectOldFilesIntact() {
        EXPECT_EQ(m_oldLauncher, FileHash(m_program + L"Orvn.exe"));
        EXPECT_EQ(m_oldFree, FileHash(m_program + L"Free.txt"));
        EXPECT_EQ(L"1", RecordedVersion(L"Free.txt"));
        EXPECT_EQ(0, CountFiles(m_program, L".orvn-"));
    }

    const bool m_keyed;
    int m_releaseNumber = 4;
    std::wstring m_program, m_releaseRoot, m_release;
    std::string m_oldLauncher, m_oldFree;
    std::vector<ManifestEntry> m_entries;
};

class UpdateRunTest : public UpdateRun, public ::testing::WithParamInterface<bool> {
protected:
    UpdateRunTest() : UpdateRun(GetParam()) {}
};
INSTANTIATE_TEST_SUITE_P(Builds, UpdateRunTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Keyed" : "Keyless"; });

TEST_P(UpdateRunTest, InstallsExactlyTheChangedFilesAndStartsTheLauncher) {
    UpdateServer server;
    // The body of Free.txt is held back for 2 s, so the window can be looked at during the run.
    ASSERT_TRUE(server.Start(m_release, {L"Free.txt=hold"}));
    ProxySetting proxy(server.Port());
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
    // The probe of the real probe host may take long to give up (name resolution under Wine).
    ASSERT_TRUE(WaitForDialog(L"다운로드", 120000, updater.pid));
    EXPECT_FALSE(::IsWindowEnabled(frame)) << "the progress dialog keeps the window disabled";
    EXPECT_EQ(0u, RunUpdater(&updater));
    ExpectInstalled(L"Orvn.exe");
    ExpectInstalled(L"Free.txt");
    EXPECT_EQ(0, server.CountRequests(L"Same.txt"));
    EXPECT_EQ(L"2", RecordedVersion(L"Free.txt"));
    EXPECT_EQ(1, LauncherStarts());
    // The fetched copies stay in the temp folder.
    EXPECT_EQ(FileHash(m_release + L"Orvn.exe"), FileHash(TempFolder() + L"Orvn.exe"));
    EXPECT_EQ(FileHash(m_release + L"Free.txt"), FileHash(TempFolder() + L"Free.txt"));
    EXPECT_EQ(0, CountFiles(m_program, L".orvn-"));
}

TEST_P(UpdateRunTest, ZeroMillisecondEchoSkipsTheUpdate) {
    // Only the keyless variant probes this machine; the keyed one asks the real
    // probe host, so its skip cannot be provoked here (the rule is shared code,
    // asserted with a fixed answer in UpdateRuleTest).
    if (m_keyed) GTEST_SKIP() << "the keyed build probes the real probe host";
    // The echo reply time is 0 ms nearly always, 1 ms when a clock tick falls
    // inside; a run that sees 1 ms updates, so runs repeat until one skips.
    ASSERT_TRUE(CopyFileTo(TestFolder() + L"StartLocalProbe.exe", m_program + L"start.exe"));
    UpdateServer server;
    ASSERT_TRUE(server.Start(m_release));
    ProxySetting proxy(server.Port());
    bool skipped = false;
    for (int run = 1; run <= 8 && !skipped; ++run) {
        ResetProgram();
        size_t before = server.Requests().size();
        EXPECT_EQ(0u, RunUpdater());
        EXPECT_EQ(1, LauncherStarts());
        skipped = server.Requests().size() == before;
    }
    // A fresh process's first echo under Wine often reads 1 ms even when later ones read 0.
    if (!skipped) GTEST_SKIP() << "no run of the real updater got a 0 ms echo from this machine";
    ExpectOldFilesIntact();
}

TEST_P(UpdateRunTest, HostDownShowsTheFailureOnceThenStartsTheLauncher) {
    UpdateServer server;
    ASSERT_TRUE(server.Start(m_release, {}, true));
    ProxySetting proxy(server.Port());
    Process updater;
    ASSERT_TRUE(StartProcess(m_program + L"start.exe", L"", m_program, &updater));
    HWND box = WaitForDialog(L"Start", 30000, updater.pid);
    ASSERT_TRUE(box);
    EXPECT_EQ(kFailed, DialogText(box));
    EXPECT_FALSE(CAppBase::FileExists(m_program + L"Orvn.exe.log")) << "the launcher waits until the box is closed";
    ClickDialogButton(box, IDOK);
    EXPECT_EQ(0u, updater.Wait(90000));
    EXPECT_EQ(1, LauncherStarts());
    ExpectOldFilesIntact();
}

TEST_P(UpdateRunTest, EveryServerFaultLeavesTheInstallationIntact) {
    // For the keyed build a body cut or padded is also refused by its hash; the outcome is the same.
    for (const wchar_t* kind : {L"404", L"500", L"cut", L"wronglength", L"stall", L"redirect2", L"lowerlocation"}) {
        SCOPED_TRACE(kind);
        ResetProgram();
        UpdateServer server;
        std::wstring k = kind;
        ASSERT_TRUE(server.Start(m_release, {L"Orvn.exe=" + k, L"Free.txt=" + k}));
        ProxySetting proxy(server.Port());
        EXPECT_EQ(0u, RunUpdater());
        EXPECT_GE(server.CountRequests(L"Free.txt"), 1);
        EXPECT_EQ(1, LauncherStarts());
        ExpectOldFilesIntact();
    }
    // One redirect is followed and installs.
    UpdateServer server;
    ASSERT_TRUE(server.Start(m_release, {L"Orvn.exe=redirect", L"Free.txt=redirect"}));
    ProxySetting proxy(server.Port());
    EXPECT_EQ(0u, RunUpdater());
    ExpectInstalled(L"Orvn.exe");
    ExpectInstalled(L"Free.txt");
}

TEST_P(UpdateRunTest, CancelKeepsTheOldFileAndStartsTheLauncher) {
    UpdateServer server;
    ASSERT_TRUE(server.Start(m_release, {L"Free.txt=hold"}));
    ProxySetting proxy(server.Port());
    Process updater;
    ASSERT_TRUE(StartProcess(m_program + L"start.exe", L"", m_program, &updater));
    // Orvn.exe comes first; wait for the dialog of Free.txt (the second).
    ASSERT_TRUE(PumpUntil([&] { return server.CountRequests(L"Free.txt") == 1; }, 120000));
    HWND progress = WaitForDialog(L"다운로드", 10000, updater.pid);
    ASSERT_TRUE(progress);
    ClickDialogButton(progress, IDCANCEL);
    EXPECT_EQ(0u, RunUpdater(&updater));
    ExpectInstalled(L"Orvn.exe");
    EXPECT_EQ(m_oldFree, FileHash(m_program + L"Free.txt"));
    EXPECT_EQ(L"1", RecordedVersion(L"Free.txt"));
    EXPECT_EQ(1, LauncherStarts());
}

TEST_P(UpdateRunTest, RunningProgramsAreReplacedAndTheirOldCopiesRemovedLater) {
    // A launcher still running, and the updater itself in the manifest.
    ASSERT_TRUE(CopyFileTo(TestFolder() + L"StartLocalProbe.exe", m_release + L"start.exe"));
    m_entries.push_back({L"start.exe", L"1,0,0,9", Size(L"start.exe")});
    Publish();
    Process running;
    ASSERT_TRUE(StartProcess(m_program + L"Orvn.exe", L"stay", m_program, &running));
    ASSERT_TRUE(PumpUntil([&] { return CAppBase::FileExists(m_program + L"Orvn.exe.log"); }, 10000));
    UpdateServer server;
    ASSERT_TRUE(server.Start(m_release));
    ProxySetting proxy(server.Port());
    EXPECT_EQ(0u, RunUpdater());
    ExpectInstalled(L"Orvn.exe");
    ExpectInstalled(L"start.exe");
    EXPECT_EQ(0, CountFiles(m_program, L".orvn-new"));
    ::TerminateProcess(running.process, 0);
    running.Wait(5000);
    // The next run (of the updater just installed), with nothing left to fetch, removes what was moved aside.
    m_entries.back().version = L"1,0,0,3";
    Publish();
    EXPECT_EQ(0u, RunUpdater());
    EXPECT_EQ(0, CountFiles(m_program, L".orvn-"));
}

TEST_P(UpdateRunTest, UnsafeNamesAndUnwritableTempFilesAreSkipped) {
    std::wstring parent = m_program.substr(0, m_program.rfind(L'\\', m_program.size() - 2) + 1);
    // Beside the release folder, so the publisher's tool can hash it.
    ASSERT_TRUE(WriteFileBytes(m_releaseRoot + L"escape.txt", "escape"));
    m_entries.insert(m_entries.begin(), {L"..\\escape.txt", L"1", 6});
    Publish();
    // The temp copy of Free.txt cannot be made: a folder has its name.
    ASSERT_TRUE(::CreateDirectoryW((TempFolder() + L"Free.txt").c_str(), nullptr));
    UpdateServer server;
    ASSERT_TRUE(server.Start(m_release));
    ProxySetting proxy(server.Port());
    EXPECT_EQ(0u, RunUpdater());
    ::RemoveDirectoryW((TempFolder() + L"Free.txt").c_str());
    EXPECT_EQ(0, server.CountRequests(L"../escape.txt") + server.CountRequests(L"..\\escape.txt"));
    EXPECT_FALSE(CAppBase::FileExists(parent + L"escape.txt"));
    EXPECT_EQ(m_oldFree, FileHash(m_program + L"Free.txt"));
    EXPECT_EQ(L"1", RecordedVersion(L"Free.txt"));
    // The run went on past the failed entry and handed over.
    ExpectInstalled(L"Orvn.exe");
    EXPECT_EQ(1, LauncherStarts());
}

// The keyed updater against releases an attacker touched.
class SignedUpdateTest : public UpdateRun {
protected:
    SignedUpdateTest() : UpdateRun(true) {}
    int RunOnce() {
        ::DeleteFileW((m_program + L"Orvn.exe.log").c_str());
        UpdateServer server;
        if (!server.Start(m_release)) return -1;
        ProxySetting proxy(server.Port());
        EXPECT_EQ(0u, RunUpdater());
        return LauncherStarts();
    }
    void Edit(const wchar_t* name, const std::function<void(std::string&)>& change) {
        std::string bytes;
        ASSERT_TRUE(ReadFileBytes(m_release + name, &bytes));
        change(bytes);
        ASSERT_TRUE(WriteFileBytes(m_release + name, bytes));
    }
};

TEST_F(SignedUpdateTest, ASignedReleaseInstallsAndNoAttackInstallsAnything) {
    const std::vector<std::pair<const char*, std::function<void()>>> attacks = {
        {"one byte changed after signing",
         [&] { Publish(), Edit(L"version.ini", [](std::string& t) { t[t.find("Release=") + 8] ^= 1; }); }},
        {"another key", [&] { Publish("other"); }},
        {"no signature", [&] { Publish(), ::DeleteFileW((m_release + L"version.ini.sig").c_str()); }},
        {"files swapped after signing",
         [&] { Publish(), Edit(L"Free.txt", [](std::string& t) { t += "!"; }), Edit(L"Orvn.exe", [](std::string& t) { t += "x"; }); }},
        {"entries without a hash",
         [&] {
             Publish();
             ASSERT_TRUE(WriteManifest(m_release + L"version.ini", m_entries));
             ::WritePrivateProfileStringW(L"Count", L"Release", L"99", (m_release + L"version.ini").c_str());
             ASSERT_TRUE(RunReleaseTool({"sign", kSigning + "/publisher.pem", UnixPath(m_release)}, m_release));
         }},
        {"older release replayed",
         [&] { Publish(), ::WritePrivateProfileStringW(L"Release", L"Accepted", L"999", kProfile); }},
        {"empty signature", [&] { Publish(), WriteFileBytes(m_release + L"version.ini.sig", ""); }},
        {"truncated signature", [&] { Publish(), Edit(L"version.ini.sig", [](std::string& t) { t.pop_back(); }); }},
        {"huge signature",
         [&] { Publish(), Edit(L"version.ini.sig", [](std::string& t) { t += std::string(1 << 20, '0'); }); }},
    };
    for (const auto& attack : attacks) {
        SCOPED_TRACE(attack.first);
        ResetProgram();
        ::WritePrivateProfileStringW(L"Release", nullptr, nullptr, kProfile);
        attack.second();
        EXPECT_EQ(1, RunOnce());
        ExpectOldFilesIntact();
    }
    // The publisher's own release installs, and its number is the new floor.
    ResetProgram();
    ::WritePrivateProfileStringW(L"Release", L"Accepted", L"4", kProfile);
    Publish();
    EXPECT_EQ(1, RunOnce());
    ExpectInstalled(L"Orvn.exe");
    ExpectInstalled(L"Free.txt");
    wchar_t accepted[32] = {};
    ::GetPrivateProfileStringW(L"Release", L"Accepted", L"", accepted, 32, kProfile);
    EXPECT_EQ(std::to_wstring(m_releaseNumber), accepted);
}

}  // namespace
