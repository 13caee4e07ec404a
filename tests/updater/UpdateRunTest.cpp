// The real start.exe, keyless and keyed, against the stand-in update server and launcher stand-ins: releases
// installed and cancelled, servers that misbehave or attack, each installation's own record, start.exe replacing
// itself, and a DLL planted beside the launcher.
#include <gtest/gtest.h>

#include <functional>

#include "AppBase.h"
#include "TestSupport.h"
#include "UpdateServer.h"
#include "Updater.h"

using namespace testing_support;

namespace {

// What the updater may hold, whatever the server sends.
constexpr SIZE_T kMaxWorkingSet = 48 * 1024 * 1024;
const char kOldFree[] = "old free list";

class UpdateRunTest : public ::testing::TestWithParam<bool> {};

INSTANTIATE_TEST_SUITE_P(Builds, UpdateRunTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Keyed" : "Keyless"; });

TEST_P(UpdateRunTest, EscSkipsCancelEndsTheRunAndTheNextRunFetchesTheRest) {
    UpdaterInstallation inst(GetParam());
    ASSERT_TRUE(inst.Ready());
    // Orvn.exe comes over one redirect; Free.txt and the file after it stall halfway.
    ASSERT_TRUE(WriteFileBytes(inst.release + L"Stalled.bin", std::string(64 * 1024, 's')));
    inst.entries.push_back({L"Stalled.bin", L"1", 64 * 1024});
    ASSERT_TRUE(inst.Publish());
    ASSERT_TRUE(inst.Serve({L"version.ini=gate", L"Orvn.exe=redirect", L"Free.txt=stall", L"Stalled.bin=stall"}));
    {
        // Esc while the manifest is held back skips the update without a word.
        Process updater;
        HWND frame = inst.Start(&updater);
        ASSERT_TRUE(frame);
        // The real probe host may take long to give up under Wine.
        ASSERT_TRUE(PumpUntil([&] { return inst.Server().CountRequests(L"version.ini") == 1; }, 120000));
        ::SetForegroundWindow(frame);
        ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == frame; }, 10000));
        PressKey(VK_ESCAPE);
        EXPECT_EQ(0u, inst.Run(&updater));
        EXPECT_EQ(L"", inst.boxText);
        EXPECT_EQ(1, inst.LauncherStarts(1));
        EXPECT_EQ(0, inst.Server().CountRequests(L"Orvn.exe"));
    }
    {
        Process updater;
        HWND frame = inst.Start(&updater);
        ASSERT_TRUE(frame);
        ASSERT_TRUE(PumpUntil([&] { return inst.Server().CountRequests(L"Free.txt") == 1; }, 120000));
        HWND progress = WaitForDialog(L"다운로드", 10000, updater.pid);
        ASSERT_TRUE(progress);
        EXPECT_FALSE(::IsWindowEnabled(frame)) << "the progress dialog keeps the window disabled";
        ClickDialogButton(progress, IDCANCEL);
        DWORD clicked = ::GetTickCount();
        ASSERT_EQ(2, inst.LauncherStarts(2));
        EXPECT_LT(::GetTickCount() - clicked, 3000u);
        EXPECT_EQ(0u, inst.Run(&updater));
    }
    // Nothing after the cancel was asked for; a release only partly installed does not raise the floor.
    EXPECT_EQ(0, inst.Server().CountRequests(L"Stalled.bin"));
    EXPECT_TRUE(inst.Installed(L"Orvn.exe"));
    EXPECT_EQ(kOldFree, FileBytes(inst.program + L"Free.txt"));
    EXPECT_EQ(L"1", inst.Record(L"Version", L"Free.txt"));
    EXPECT_EQ(L"", inst.Record(L"Release", L"Accepted"));

    // The next run fetches only what is still out of date; the keyed build keeps the release as its floor.
    ASSERT_TRUE(inst.Serve());
    EXPECT_EQ(0u, inst.Run());
    EXPECT_EQ(L"", inst.boxText);
    EXPECT_EQ(0, inst.Server().CountRequests(L"Orvn.exe"));
    for (const auto& entry : inst.entries) EXPECT_TRUE(inst.Installed(entry.name)) << ToUtf8(entry.name);
    EXPECT_EQ(L"2", inst.Record(L"Version", L"Free.txt"));
    EXPECT_EQ(GetParam() ? std::to_wstring(inst.releaseNumber) : L"", inst.Record(L"Release", L"Accepted"));
}

TEST_P(UpdateRunTest, NoServerFaultHoldsThePlayerGrowsTheProcessOrHarmsTheInstallation) {
    enum Builds { kKeyless = 1, kKeyed = 2, kBoth = 3 };
    struct Row {
        const wchar_t* name;
        const wchar_t* kind;  // "refuse": nothing listens
        int requests;         // of name: none again with a password, at most one redirect
        int builds;
    };
    const Row rows[] = {
        {L"version.ini", L"refuse", 0, kKeyless},     {L"version.ini", L"headers", 1, kBoth},
        {L"version.ini", L"auth", 1, kBoth},          {L"version.ini", L"proxyauth", 1, kKeyless},
        {L"version.ini", L"endless", 1, kKeyless},    {L"version.ini", L"drip", 1, kKeyless},
        {L"version.ini.sig", L"headers", 1, kKeyed},  {L"Orvn.exe", L"endless", 1, kKeyless},
        {L"Orvn.exe", L"trickle", 1, kKeyless},       {L"Orvn.exe", L"404", 1, kKeyless},
        {L"Orvn.exe", L"cut", 1, kKeyless},           {L"Orvn.exe", L"wronglength", 1, kKeyless},
        {L"Orvn.exe", L"redirect2", 2, kKeyless},
    };
    UpdaterInstallation inst(GetParam());
    ASSERT_TRUE(inst.Ready());
    for (const Row& row : rows) {
        if (!(row.builds & (GetParam() ? kKeyed : kKeyless))) continue;
        const std::wstring fault = std::wstring(row.name) + L"=" + row.kind;
        SCOPED_TRACE(ToUtf8(fault));
        ASSERT_TRUE(inst.Reset());
        ASSERT_TRUE(inst.Serve({fault}, fault.ends_with(L"refuse")));
        EXPECT_EQ(0u, inst.Run());
        EXPECT_LT(inst.handOverMs, 40000u);
        EXPECT_TRUE(inst.peakWorkingSet > 0 && inst.peakWorkingSet < kMaxWorkingSet) << inst.peakWorkingSet / 1024;
        EXPECT_LT(inst.slowestAnswerMs, 1000u) << "the window stopped answering";
        EXPECT_EQ(row.requests, inst.Server().CountRequests(row.name));
        EXPECT_EQ(1, inst.LauncherStarts(1));
        // A manifest that does not come is told; a file that does not come leaves the old one, and the run goes on.
        const bool file = row.name == std::wstring(L"Orvn.exe");
        EXPECT_EQ(file ? L"" : kUpdateFailed, inst.boxText);
        EXPECT_TRUE(FileBytes(TestFolder() + L"OrvnStandIn3.exe") == FileBytes(inst.program + L"Orvn.exe"));
        EXPECT_TRUE(file ? inst.Installed(L"Free.txt") : inst.Untouched());
    }
}

TEST_P(UpdateRunTest, RunningProgramsAreReplacedAndUnsafeOrUnwritableEntriesSkipped) {
    UpdaterInstallation inst(GetParam());
    ASSERT_TRUE(inst.Ready());
    // The updater itself, and a name leaving the folder.
    ASSERT_TRUE(CopyFileTo(TestFolder() + L"StartLocalProbe.exe", inst.release + L"start.exe"));
    inst.entries.push_back({L"start.exe", L"1,0,0,9", static_cast<int>(FileBytes(inst.release + L"start.exe").size())});
    ASSERT_TRUE(inst.Publish());
    // The publisher's tool refuses such a name: it is added to the release afterwards, hash and all, and other
    // contents take a number of their own.
    const std::wstring manifest = inst.release + L"version.ini";
    const std::wstring total = std::to_wstring(inst.entries.size() + 1), last = L"File" + total;
    ::WritePrivateProfileStringW(L"Count", L"Total", total.c_str(), manifest.c_str());
    ::WritePrivateProfileStringW(L"Count", L"Release", std::to_wstring(++inst.releaseNumber).c_str(), manifest.c_str());
    for (const auto& [key, value] : {std::pair{L"Filename", L"..\\escape.txt"}, {L"Fileversion", L"1"},
                                     {L"Filesize", L"6"},
                                     {L"Filehash", L"b3140286ac71ad2acf69681f4f2a907b0b83d8edfbffdd4e0a38c05a23180495"}})
        ::WritePrivateProfileStringW(last.c_str(), key, value, manifest.c_str());
    if (inst.keyed) {
        ASSERT_TRUE(inst.Sign());
    }
    ASSERT_TRUE(inst.Serve());
    {
        // The staged copy of Free.txt cannot be written: a folder has its name.
        const std::wstring blocked = inst.program + L"Free.txt.orvn-part";
        ASSERT_TRUE(::CreateDirectoryW(blocked.c_str(), nullptr));
        Process running;
        ASSERT_TRUE(StartProcess(inst.program + L"Orvn.exe", L"stay", inst.program, &running));
        ASSERT_EQ(1, inst.LauncherStarts(1));
        EXPECT_EQ(0u, inst.Run());
        ::RemoveDirectoryW(blocked.c_str());
    }
    // The run went on past the failed entries and handed over; the launcher it started put the new start.exe
    // in place first.
    EXPECT_EQ(2, inst.LauncherStarts(2));
    EXPECT_TRUE(inst.Installed(L"Orvn.exe"));
    EXPECT_TRUE(inst.Installed(L"start.exe"));
    WIN32_FIND_DATAW data;
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring runFolders = temp + (L"orvn-update-" + CUpdater::InstallationId(inst.program).substr(0, 12));
    EXPECT_FALSE(UniqueFindHandle(::FindFirstFileW((runFolders + L"-*").c_str(), &data))) << "a run folder stayed";
    EXPECT_EQ(0, inst.Server().CountRequests(L"../escape.txt") + inst.Server().CountRequests(L"..\\escape.txt"));
    EXPECT_FALSE(CAppBase::FileExists(inst.program + L"..\\escape.txt"));
    EXPECT_EQ(kOldFree, FileBytes(inst.program + L"Free.txt"));
    EXPECT_EQ(L"1", inst.Record(L"Version", L"Free.txt"));
    // The next run, of the updater just installed (its version now listed), removes what was moved aside.
    inst.entries.back().version = L"1,0,0,3";
    ASSERT_TRUE(inst.Publish());
    EXPECT_EQ(0u, inst.Run());
    EXPECT_FALSE(UniqueFindHandle(::FindFirstFileW((inst.program + L"*.orvn-*").c_str(), &data)));
}

TEST(UpdateAttackTest, NoAttackOnASignedReleaseInstallsAnything) {
    UpdaterInstallation inst(true);
    ASSERT_TRUE(inst.Ready());
    auto edit = [&](const std::wstring& name, const std::function<void(std::string&)>& change) {
        std::string bytes = FileBytes(inst.release + name);
        change(bytes);
        ASSERT_TRUE(WriteFileBytes(inst.release + name, bytes));
    };
    const std::wstring signature = L"version.ini.sig";
    const std::vector<std::pair<const char*, std::function<void()>>> attacks = {
        {"one byte changed", [&] { edit(L"version.ini", [](std::string& t) { t[t.find("Release=") + 8] ^= 1; }); }},
        {"another key", [&] { inst.Publish(L"other"); }},
        {"no signature", [&] { ::DeleteFileW((inst.release + signature).c_str()); }},
        {"empty signature", [&] { WriteFileBytes(inst.release + signature, ""); }},
        {"files swapped",
         [&] {
             edit(L"Free.txt", [](std::string& t) { t += "!"; });
             edit(L"Orvn.exe", [](std::string& t) { t += "x"; });
         }},
        {"entries without a hash",
         [&] {
             ASSERT_TRUE(WriteManifest(inst.release + L"version.ini", inst.entries));
             ::WritePrivateProfileStringW(L"Count", L"Release", std::to_wstring(++inst.releaseNumber).c_str(),
                                          (inst.release + L"version.ini").c_str());
             ASSERT_TRUE(inst.Sign());
         }},
    };
    ASSERT_TRUE(inst.Serve());
    for (const auto& [name, attack] : attacks) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(inst.Reset());
        ASSERT_TRUE(inst.Publish());
        attack();
        EXPECT_EQ(0u, inst.Run());
        EXPECT_EQ(1, inst.LauncherStarts(1));
        EXPECT_TRUE(inst.Untouched());
    }
}

// The record an older updater kept for every installation is taken over once; each installation's floor then
// holds against a number signed again with other contents and against an older release that another installation
// may take; a record that cannot be read is told.
TEST(UpdateRecordTest, EachInstallationKeepsItsOwnFloor) {
    UpdaterInstallation a(true), b(true);
    ASSERT_TRUE(a.Ready() && b.Ready());
    // What an older updater kept in the Windows folder: A's release accepted (no digest yet) and its Free.txt
    // installed. A has no record of its own yet.
    const std::wstring legacy = CAppBase::ProfileFilePath(L"start.INI");
    ::WritePrivateProfileStringW(L"Version", L"Free.txt", L"2", legacy.c_str());
    ::WritePrivateProfileStringW(L"Release", L"Accepted", std::to_wstring(a.releaseNumber).c_str(), legacy.c_str());
    ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, legacy.c_str());
    ASSERT_TRUE(::DeleteFileW((a.program + L"start.INI").c_str()));
    ASSERT_TRUE(a.Serve());
    EXPECT_EQ(0u, a.Run());
    EXPECT_EQ(L"", a.boxText);
    EXPECT_EQ(0, a.Server().CountRequests(L"Free.txt"));
    EXPECT_EQ(64u, a.Record(L"Release", L"Digest").size());
    EXPECT_FALSE(CAppBase::FileExists(legacy));

    // The withdrawn build, signed again under the same number with a key copy that remembers no release.
    ASSERT_TRUE(WriteFileBytes(a.release + L"Free.txt", "withdrawn"));
    a.entries[1] = {L"Free.txt", L"2w", 9};
    ASSERT_TRUE(a.Publish(L"again", a.releaseNumber));
    EXPECT_EQ(0u, a.Run());
    EXPECT_EQ(kUpdateFailed, a.boxText);
    EXPECT_EQ(0, a.Server().CountRequests(L"Free.txt"));

    b.entries[1].version = L"3";
    ASSERT_TRUE(b.Publish(L"again", a.releaseNumber - 2));
    ASSERT_TRUE(b.Serve());
    EXPECT_EQ(0u, b.Run());
    EXPECT_EQ(L"", b.boxText);
    EXPECT_TRUE(b.Installed(L"Free.txt"));
    ASSERT_TRUE(a.Serve({}, false, b.release));
    EXPECT_EQ(0u, a.Run());
    EXPECT_EQ(kUpdateFailed, a.boxText);
    EXPECT_EQ(kOldFree, FileBytes(a.program + L"Free.txt"));
    EXPECT_EQ(std::to_wstring(a.releaseNumber), a.Record(L"Release", L"Accepted"));

    // A floor that cannot be read: nothing is fetched, the launcher starts all the same. Without the record the
    // next run starts afresh.
    ::WritePrivateProfileStringW(L"Release", L"Accepted", L"1e9", (a.program + L"start.INI").c_str());
    ASSERT_TRUE(a.Serve());
    EXPECT_EQ(0u, a.Run());
    EXPECT_EQ(std::wstring(CUpdater::kRecordUnreadable) + L"\n\n" + a.program + L"start.INI", a.boxText);
    EXPECT_EQ(0, a.Server().CountRequests(L"version.ini"));
    EXPECT_EQ(4, a.LauncherStarts(4));
    ASSERT_TRUE(::DeleteFileW((a.program + L"start.INI").c_str()));
    EXPECT_EQ(0u, a.Run());
    EXPECT_EQ(L"", a.boxText);
    EXPECT_TRUE(a.Installed(L"Free.txt"));
}

TEST(UpdateRecordTest, TwoSpellingsOfOneFolderRunOneUpdate) {
    UpdaterInstallation inst(false);
    ASSERT_TRUE(inst.Ready());
    // The first run's Free.txt waits until the second updater is up.
    ASSERT_TRUE(inst.Serve({L"Free.txt=gate"}));
    DriveLetter drive(inst.program);
    ASSERT_NE(0, drive.Letter());
    // Its run folders too are one installation's.
    EXPECT_EQ(CUpdater::InstallationId(inst.program), CUpdater::InstallationId(drive.Path()));
    Process first, second;
    ASSERT_TRUE(inst.Start(&first));
    ASSERT_TRUE(PumpUntil([&] { return inst.Server().CountRequests(L"Free.txt") == 1; }, 120000));
    ASSERT_TRUE(inst.Start(&second, drive.Path()));
    // Were it to run, the second would ask for the manifest within its probe's time.
    EXPECT_FALSE(PumpUntil([&] { return inst.Server().CountRequests(L"version.ini") > 1; }, 6000));
    ASSERT_TRUE(WriteFileBytes(inst.release + L"Free.txt.go", ""));
    EXPECT_EQ(0u, inst.Run(&first));
    EXPECT_EQ(0u, inst.Run(&second));
    EXPECT_EQ(1, inst.Server().CountRequests(L"version.ini"));
    EXPECT_EQ(1, inst.Server().CountRequests(L"Free.txt"));
    EXPECT_TRUE(inst.Installed(L"Free.txt"));
    EXPECT_FALSE(CAppBase::FileExists(inst.program + CUpdater::kRunLockName));
}

TEST(UpdateReplaceTest, AKillAtEachStepLeavesAStartExeThatRunsAndTheLaunchersFinish) {
    UpdaterInstallation inst(false);
    ASSERT_TRUE(inst.Ready());
    // The release's start.exe probes this machine, which answers at once: it hands over without an update.
    ASSERT_TRUE(CopyFileTo(TestFolder() + L"StartLocalProbe.exe", inst.release + L"start.exe"));
    const std::string oldCopy = FileBytes(DistFolder() + L"start.exe");
    const std::string newCopy = FileBytes(inst.release + L"start.exe");
    inst.entries = {{L"start.exe", L"1,0,0,9", static_cast<int>(newCopy.size())}, {L"Free.txt", L"2", 38}};
    ASSERT_TRUE(inst.Publish());
    auto installed = [&] { return FileBytes(inst.program + L"start.exe"); };
    auto waiting = [&] { return CAppBase::FileExists(inst.program + L"start.exe.orvn-new"); };
    // Killed while waiting on the gated request; the new copy whole beside start.exe by then, or not.
    struct Step { const char* name; const wchar_t* gated; bool waits; };
    const Step steps[] = {{"fetching the new start.exe", L"start.exe", false},
                          {"the new start.exe staged, the next file fetching", L"Free.txt", true}};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        ASSERT_TRUE(CopyFileTo(DistFolder() + L"start.exe", inst.program + L"start.exe"));
        ASSERT_TRUE(inst.Reset());
        ASSERT_TRUE(inst.Serve({std::wstring(step.gated) + L"=gate"}));
        {
            Process updater;
            ASSERT_TRUE(StartProcess(inst.program + L"start.exe", L"", inst.program, &updater));
            ASSERT_TRUE(PumpUntil([&] { return inst.Server().CountRequests(step.gated) == 1; }, 120000));
            EXPECT_EQ(step.waits, waiting());
            ::TerminateProcess(updater.process, 9);
            EXPECT_EQ(9u, updater.Wait(10000));
        }
        // The shortcut's target is the old program, whole.
        EXPECT_TRUE(oldCopy == installed());

        // The launcher started by hand puts a whole new copy in place.
        Process launcher;
        ASSERT_TRUE(StartProcess(inst.program + L"Orvn.exe", L"", inst.program, &launcher));
        EXPECT_EQ(1, inst.LauncherStarts(1));
        EXPECT_TRUE((step.waits ? newCopy : oldCopy) == installed());
        EXPECT_FALSE(waiting());

        // start.exe runs by its path (the gate is open now), updates if it must, and hands over.
        EXPECT_EQ(0u, inst.Run());
        EXPECT_EQ(2, inst.LauncherStarts(2));
        ASSERT_TRUE(PumpUntil([&] { return newCopy == installed() && !waiting(); }, 20000));
        EXPECT_FALSE(CAppBase::FileExists(inst.program + L"start.exe.orvn-part"));
        EXPECT_FALSE(CAppBase::FileExists(inst.program + L"start.exe.orvn-old"));
    }

    // The real launcher at its start finishes what an older updater left, killed after moving itself aside:
    // the new copy staged or not.
    for (const wchar_t* name : {L"Orvn.exe", L"Orvmedia.dll"})
        ASSERT_TRUE(CopyFileTo(DistFolder() + name, inst.program + name));
    for (bool staged : {true, false}) {
        SCOPED_TRACE(staged ? "the new copy staged" : "nothing staged");
        ::DeleteFileW((inst.program + L"start.exe").c_str());
        ASSERT_TRUE(WriteFileBytes(inst.program + L"start.exe.orvn-old", oldCopy));
        if (staged) {
            ASSERT_TRUE(WriteFileBytes(inst.program + L"start.exe.orvn-new", newCopy));
        }
        Process launcher;
        ASSERT_TRUE(StartProcess(inst.program + L"Orvn.exe", L"", inst.program, &launcher));
        EXPECT_TRUE(PumpUntil([&] { return (staged ? newCopy : oldCopy) == installed() && !waiting(); }, 30000));
        EXPECT_EQ(STILL_ACTIVE, launcher.Wait(0)) << "the launcher runs on";
    }
}

// A DLL named like a system one that a program imports, dropped beside the real Orvn.exe with Wine told to prefer
// such a native copy, is never loaded: the programs (both through the same start-up code) take system DLLs from the
// system folder only.
// The planted DLL is msvfw32.dll (the skins are drawn through it). Not version.dll: Wine's own user32 imports it,
// so under Wine a planted one is loaded by user32 before any code of the program runs; on Windows it is not.
TEST(DllSearchTest, APlantedMsvfw32DllBesideTheLauncherIsNeverLoaded) {
    const TempFolder folder(L"orvn-planted-");
    const std::wstring loaded = folder.path + L"msvfw32.dll.loaded";
    ASSERT_TRUE(CopyFileTo(TestFolder() + L"planted\\msvfw32.dll", folder.path + L"msvfw32.dll"));
    ASSERT_TRUE(CopyFileTo(DistFolder() + L"Orvn.exe", folder.path + L"Orvn.exe"));
    {
        DllOverride native(L"Orvn.exe", L"msvfw32", L"native,builtin");
        Process launcher;
        ASSERT_TRUE(StartProcess(folder.path + L"Orvn.exe", L"", folder.path, &launcher));
        // The launcher draws its skin through msvfw32.dll from its first paint on; once its window answers
        // after that, the load, DllMain included, is over.
        HWND frame = nullptr;
        EXPECT_TRUE(PumpUntil([&] { return ModuleLoaded(launcher.pid, L"msvfw32.dll"); }, 30000));
        EXPECT_TRUE(PumpUntil([&] { return (frame = FindTopLevel(L"Orvane", launcher.pid)) != nullptr; }, 30000));
        DWORD_PTR result = 0;
        EXPECT_TRUE(::SendMessageTimeoutW(frame, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result));
    }
    EXPECT_FALSE(CAppBase::FileExists(loaded)) << "loaded by the launcher";
}

}  // namespace
