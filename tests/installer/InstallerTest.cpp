// The installer as a player and a script meet it, in a fresh copy of the bench prefix.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "AppBase.h"
#include "ComPtr.h"
#include "TestSupport.h"
#include "UpdateServer.h"

using namespace testing_support;

namespace {

const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane";

std::wstring Lower(std::wstring s) { return ::CharLowerW(s.data()); }

std::wstring Known(REFKNOWNFOLDERID id) {
    wchar_t* path = nullptr;
    std::wstring out = SUCCEEDED(::SHGetKnownFolderPath(id, 0, nullptr, &path)) ? path : L"";
    ::CoTaskMemFree(path);
    return out;
}

std::wstring Entry(const wchar_t* name) {
    std::wstring value;
    return RegistryString(HKEY_CURRENT_USER, kUninstallKey, name, &value) ? value : L"<none>";
}

}  // namespace

// Installed without rights, opened and updated, upgraded and uninstalled keeping the player's files; then /D=.
TEST(Installer, InstallUpdateUpgradeUninstall) {
    std::wstring setup = L"Z:" + std::wstring(ORVN_SETUP_EXE);
    std::replace(setup.begin(), setup.end(), L'/', L'\\');
    // Windows asks for rights unless the manifest (plain text in the program) says not to.
    EXPECT_NE(FileBytes(setup).find("level=\"asInvoker\""), std::string::npos);
    const std::wstring startLink = Known(FOLDERID_Programs) + L"\\Orvane.lnk";
    const std::wstring desktopLink = Known(FOLDERID_Desktop) + L"\\Orvane.lnk";
    const std::wstring profilePath = Known(FOLDERID_Windows) + L"\\Orvn.INI";
    std::set<std::wstring> shipped = FilesIn(DistFolder());
    shipped.erase(L"User.txt");
    auto expectInstalledIn = [&](const std::wstring& folder) {
        for (const auto& name : shipped)
            EXPECT_TRUE(FileBytes(DistFolder() + name) == FileBytes(folder + name)) << ToUtf8(name) << " not as built";
        // Both shortcuts as Explorer reads them.
        for (const auto& link : {startLink, desktopLink}) {
            ComPtr<IShellLinkW> shell;
            ASSERT_TRUE(SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                                     reinterpret_cast<void**>(shell.Receive()))));
            auto file = shell.As<IPersistFile>(IID_IPersistFile);
            ASSERT_TRUE(file && SUCCEEDED(file->Load(link.c_str(), STGM_READ))) << ToUtf8(link);
            wchar_t target[MAX_PATH] = {}, dir[MAX_PATH] = {};
            shell->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
            shell->GetWorkingDirectory(dir, MAX_PATH);
            EXPECT_EQ(Lower(target), Lower(folder + L"start.exe"));
            EXPECT_EQ(Lower(dir + std::wstring(L"\\")), Lower(folder));
        }
    };

    const std::wstring folder = Known(FOLDERID_LocalAppData) + L"\\Programs\\Orvane\\";
    ASSERT_EQ(RunToEnd(setup, L"/S"), 0u);
    expectInstalledIn(folder);
    // What "Apps" lists for this user.
    EXPECT_EQ(Entry(L"DisplayVersion"), ORVN_VERSION);
    EXPECT_EQ(Lower(Entry(L"UninstallString")), Lower(L"\"" + folder + L"uninstall.exe\""));

    // The Start-menu shortcut, opened as Explorer does, against a newer list.
    const std::wstring release = MakeTempFolder(L"release");
    ASSERT_TRUE(WriteListFile(release + L"Blizzard.txt", {{L"새 서버", L"127.0.0.1"}}));
    const std::string newer = FileBytes(release + L"Blizzard.txt");
    ASSERT_TRUE(WriteManifest(release + L"version.ini", {{L"Blizzard.txt", L"2", static_cast<int>(newer.size())}}));
    UpdateServer update;
    ASSERT_TRUE(update.Start(release));
    ProxySetting proxy(update.Port());
    ASSERT_GT(reinterpret_cast<INT_PTR>(::ShellExecuteW(nullptr, nullptr, startLink.c_str(), L"", L"", SW_SHOW)), 32);
    HWND launcher = nullptr;
    ASSERT_TRUE(PumpUntil(
        [&] { return (launcher = ::FindWindowW(L"OrvMainFrame", L"Orvane")) && ::IsWindowVisible(launcher); }, 90000))
        << "the installed launcher did not open";
    EXPECT_EQ(newer, FileBytes(folder + L"Blizzard.txt"));
    DWORD pid = 0;
    ::GetWindowThreadProcessId(launcher, &pid);
    UniqueKernelHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid));
    ::PostMessageW(launcher, WM_CLOSE, 0, 0);
    if (process && ::WaitForSingleObject(process.Get(), 15000) != WAIT_OBJECT_0) ::TerminateProcess(process.Get(), 1);

    // An upgrade over the player's own servers and settings and an older program file.
    const std::string userList = ToCp949(L"내 서버,10.1.2.3\r\n친구 서버,127.0.0.9");
    const std::string profile = "[ProgramPath]\r\nStarCraft=C:\\Games\\StarCraft.exe\r\n";
    ASSERT_TRUE(WriteFileBytes(folder + L"User.txt", userList));
    ASSERT_TRUE(WriteFileBytes(profilePath, profile));
    ASSERT_TRUE(WriteFileBytes(folder + L"Orvn.exe", "an older launcher"));
    ASSERT_EQ(RunToEnd(setup, L"/S"), 0u);
    expectInstalledIn(folder);
    EXPECT_EQ(userList, FileBytes(folder + L"User.txt")) << "upgrade changed User.txt";

    // A script's quiet uninstall keeps the player's files.
    ASSERT_EQ(RunToEnd(folder + L"uninstall.exe", L"/S"), 0u);
    EXPECT_EQ(FilesIn(folder), std::set<std::wstring>{L"User.txt"});
    EXPECT_EQ(userList, FileBytes(folder + L"User.txt")) << "uninstall changed User.txt";
    EXPECT_EQ(profile, FileBytes(profilePath)) << "uninstall changed the profile";
    for (const auto& link : {startLink, desktopLink}) EXPECT_FALSE(CAppBase::FileExists(link));
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, kUninstallKey));

    // /D= with spaces and Hangul; without a "User.txt" the uninstaller leaves nothing behind.
    const std::wstring parent = MakeTempFolder(L"chosen");
    const std::wstring chosen = parent + L"게임 폴더\\Orvane\\";
    ASSERT_EQ(RunToEnd(setup, L"/S /D=" + chosen.substr(0, chosen.size() - 1)), 0u);
    expectInstalledIn(chosen);
    EXPECT_FALSE(CAppBase::FileExists(folder + L"Orvn.exe"));
    ASSERT_EQ(RunToEnd(chosen + L"uninstall.exe", L"/S"), 0u);
    EXPECT_EQ(::GetFileAttributesW(chosen.c_str()), INVALID_FILE_ATTRIBUTES) << "the program folder stayed";
}
