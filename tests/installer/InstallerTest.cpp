// The installer as a player and a script meet it, on a Windows nobody has
// installed anything on (a fresh copy of the bench prefix).
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "AppBase.h"
#include "ComPtr.h"
#include "StandInServers.h"
#include "TestSupport.h"
#include "UpdateServer.h"

using namespace testing_support;

namespace {

const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane";

std::wstring Lower(std::wstring s) {
    std::transform(s.begin(), s.end(), s.begin(), ::towlower);
    return s;
}

std::wstring SetupExe() {
    std::wstring path = L"Z:" + std::wstring(ORVN_SETUP_EXE);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

std::wstring Known(REFKNOWNFOLDERID id) {
    wchar_t* path = nullptr;
    std::wstring out = SUCCEEDED(::SHGetKnownFolderPath(id, 0, nullptr, &path)) ? path : L"";
    ::CoTaskMemFree(path);
    return out;
}
std::wstring DefaultFolder() { return Known(FOLDERID_LocalAppData) + L"\\Programs\\Orvane\\"; }
std::wstring StartMenuLink() { return Known(FOLDERID_Programs) + L"\\Orvane.lnk"; }
std::wstring DesktopLink() { return Known(FOLDERID_Desktop) + L"\\Orvane.lnk"; }
std::wstring ProfilePath() { return Known(FOLDERID_Windows) + L"\\Orvn.INI"; }

std::wstring Entry(const wchar_t* name) {
    std::wstring value;
    return RegistryString(HKEY_CURRENT_USER, kUninstallKey, name, &value) ? value : L"<none>";
}

std::set<std::wstring> FilesIn(const std::wstring& folder) {
    std::set<std::wstring> names;
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(::FindFirstFileW((folder + L"*").c_str(), &data));
    for (bool more = bool(find); more; more = ::FindNextFileW(find.Get(), &data))
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.insert(data.cFileName);
    return names;
}

// What the installer must put in place: the build's program folder less a player's own list.
std::set<std::wstring> ShippedFiles() {
    std::set<std::wstring> names = FilesIn(DistFolder());
    names.erase(L"User.txt");
    return names;
}

DWORD RunSetup(const std::wstring& args) {
    Process setup;
    return StartProcess(SetupExe(), args, L"", &setup) ? setup.Wait(120000) : ~0u;
}

bool AnyChildOf(DWORD pid) {
    UniqueKernelHandle snap(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{sizeof(entry)};
    for (BOOL more = ::Process32FirstW(snap.Get(), &entry); more; more = ::Process32NextW(snap.Get(), &entry))
        if (entry.th32ParentProcessID == pid) return true;
    return false;
}

// Runs a command line as "Apps" does. The uninstaller hands over to a copy of
// itself in the temp folder and ends at once: the work is done when that copy ends.
DWORD RunUninstall(const std::wstring& commandLine) {
    size_t close = commandLine.find(L'"', 1);
    Process uninstall;
    if (commandLine[0] != L'"' || close == std::wstring::npos ||
        !StartProcess(commandLine.substr(1, close - 1), commandLine.substr(std::min(close + 2, commandLine.size())),
                      L"", &uninstall))
        return ~0u;
    DWORD rc = uninstall.Wait(120000);
    PumpUntil([&] { return !AnyChildOf(uninstall.pid); }, 120000);
    return rc;
}

void ExpectInstalledIn(const std::wstring& folder) {
    for (const auto& name : ShippedFiles()) {
        std::string shipped, installed;
        ASSERT_TRUE(ReadFileBytes(DistFolder() + name, &shipped));
        EXPECT_TRUE(ReadFileBytes(folder + name, &installed) && installed == shipped) << name << " not as built";
    }
    // Both shortcuts as Explorer reads them.
    for (const auto& link : {StartMenuLink(), DesktopLink()}) {
        ComPtr<IShellLinkW> shell;
        ASSERT_TRUE(SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                                 reinterpret_cast<void**>(shell.Receive()))));
        auto file = shell.As<IPersistFile>(IID_IPersistFile);
        ASSERT_TRUE(file && SUCCEEDED(file->Load(link.c_str(), STGM_READ))) << link;
        wchar_t target[MAX_PATH] = {}, dir[MAX_PATH] = {}, icon[MAX_PATH] = {};
        int index = 0;
        shell->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
        shell->GetWorkingDirectory(dir, MAX_PATH);
        shell->GetIconLocation(icon, MAX_PATH, &index);
        EXPECT_EQ(Lower(target), Lower(folder + L"start.exe")) << link;
        EXPECT_EQ(Lower(dir + std::wstring(L"\\")), Lower(folder)) << link;
        EXPECT_EQ(Lower(icon), Lower(folder + L"Orvn.exe")) << link;
    }
    EXPECT_EQ(Lower(Entry(L"InstallLocation") + L"\\"), Lower(folder));
}

// The visible "Orvane" window of a process started from exe.
HWND FindLauncherOf(const std::wstring& exe) {
    for (HWND hwnd = nullptr; (hwnd = ::FindWindowExW(nullptr, hwnd, nullptr, L"Orvane")) != nullptr;) {
        DWORD pid = 0, size = MAX_PATH;
        ::GetWindowThreadProcessId(hwnd, &pid);
        wchar_t image[MAX_PATH] = {};
        UniqueKernelHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
        if (process) ::QueryFullProcessImageNameW(process.Get(), 0, image, &size);
        if (::IsWindowVisible(hwnd) && Lower(image) == Lower(exe)) return hwnd;
    }
    return nullptr;
}

}  // namespace

// A player's whole life with one installation: installed silently without
// administrator rights, opened every day from the Start menu (start.exe
// updates over loopback and hands over to the installed launcher), upgraded
// over their own files, and uninstalled by a script with those files kept.
TEST(Installer, InstallUpdateUpgradeUninstall) {
    {  // Windows asks for rights only when the manifest says so.
        UniqueModule setup(::LoadLibraryExW(SetupExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        HRSRC found = ::FindResourceW(setup.Get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
        ASSERT_NE(found, nullptr);
        std::string manifest(static_cast<const char*>(::LockResource(::LoadResource(setup.Get(), found))),
                             ::SizeofResource(setup.Get(), found));
        EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos) << manifest;
    }
    const std::wstring folder = DefaultFolder();
    ASSERT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, kUninstallKey)) << "the prefix is not fresh";
    ASSERT_EQ(RunSetup(L"/S"), 0u);
    ExpectInstalledIn(folder);
    EXPECT_EQ(Entry(L"DisplayName"), L"Orvane");
    EXPECT_EQ(Entry(L"Publisher"), L"Orvane");
    EXPECT_EQ(Entry(L"DisplayVersion"), ORVN_VERSION);
    EXPECT_EQ(Lower(Entry(L"DisplayIcon")), Lower(folder + L"Orvn.exe,0"));
    EXPECT_EQ(Lower(Entry(L"UninstallString")), Lower(L"\"" + folder + L"uninstall.exe\""));
    DWORD sizeKb = 0, bytes = sizeof(sizeKb);
    ::RegGetValueW(HKEY_CURRENT_USER, kUninstallKey, L"EstimatedSize", RRF_RT_REG_DWORD, nullptr, &sizeKb, &bytes);
    EXPECT_GE(sizeKb, 940u) << "the music library alone is 940 KB";
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_WOW64_32KEY));
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_WOW64_64KEY));

    // The Start-menu shortcut, opened as Explorer does, against a newer list.
    StandInServers servers;
    const std::wstring release = MakeTempFolder(L"release");
    std::string newer;
    ASSERT_TRUE(WriteListFile(release + L"Blizzard.txt", {{L"새 서버", servers.Accepting()}}));
    ASSERT_TRUE(ReadFileBytes(release + L"Blizzard.txt", &newer));
    ASSERT_TRUE(WriteManifest(release + L"version.ini", {{L"Blizzard.txt", L"2", static_cast<int>(newer.size())}}));
    {
        UpdateServer update;
        ASSERT_TRUE(update.Start(release));
        ProxySetting proxy(update.Port());
        const std::wstring link = StartMenuLink();
        SHELLEXECUTEINFOW info{sizeof(info)};
        info.lpFile = link.c_str();
        info.nShow = SW_SHOWNORMAL;
        ASSERT_TRUE(::ShellExecuteExW(&info));
        HWND launcher = nullptr;
        ASSERT_TRUE(PumpUntil([&] { return (launcher = FindLauncherOf(folder + L"Orvn.exe")) != nullptr; }, 90000))
            << "the installed launcher did not open";
        std::string installed;
        EXPECT_TRUE(ReadFileBytes(folder + L"Blizzard.txt", &installed) && installed == newer);
        // StarCraft's "Battle.net" tile: the new list is measured.
        Pump(1000);
        POINT tile = ClientToScreenPoint(::GetWindow(launcher, GW_CHILD), 49, 210);
        ClickAt(tile.x, tile.y);
        EXPECT_TRUE(PumpUntil([&] { return servers.Accepted() > 0; }, 30000)) << "no probe reached the listed server";
        DWORD pid = 0;
        ::GetWindowThreadProcessId(launcher, &pid);
        UniqueKernelHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid));
        ::PostMessageW(launcher, WM_CLOSE, 0, 0);
        if (process && ::WaitForSingleObject(process.Get(), 15000) != WAIT_OBJECT_0) ::TerminateProcess(process.Get(), 1);
    }
    RemoveFolder(release);

    // An upgrade over the player's own servers and settings and an older program file.
    const std::string userList = ToCp949(L"내 서버,10.1.2.3\r\n친구 서버,127.0.0.9");
    const std::string profile = "[ProgramPath]\r\nStarCraft=C:\\Games\\StarCraft.exe\r\n";
    ASSERT_TRUE(WriteFileBytes(folder + L"User.txt", userList));
    ASSERT_TRUE(WriteFileBytes(ProfilePath(), profile));
    ASSERT_TRUE(WriteFileBytes(folder + L"Orvn.exe", "an older launcher"));
    ASSERT_EQ(RunSetup(L"/S"), 0u);
    ExpectInstalledIn(folder);
    std::string read;
    EXPECT_TRUE(ReadFileBytes(folder + L"User.txt", &read) && read == userList) << "upgrade changed User.txt";

    // A script's uninstall: the entry's quiet command keeps the player's files.
    ASSERT_EQ(RunUninstall(Entry(L"QuietUninstallString")), 0u);
    EXPECT_EQ(FilesIn(folder), std::set<std::wstring>{L"User.txt"});
    EXPECT_TRUE(ReadFileBytes(folder + L"User.txt", &read) && read == userList) << "uninstall changed User.txt";
    EXPECT_TRUE(ReadFileBytes(ProfilePath(), &read) && read == profile) << "uninstall changed the profile";
    EXPECT_FALSE(CAppBase::FileExists(StartMenuLink()));
    EXPECT_FALSE(CAppBase::FileExists(DesktopLink()));
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, kUninstallKey));
    ::DeleteFileW((folder + L"User.txt").c_str());
    ::RemoveDirectoryW(folder.c_str());
}

// /D= with spaces and Hangul, as a friend's script might pass it; without a
// "User.txt" the uninstaller leaves nothing behind.
TEST(Installer, ChosenFolder) {
    const std::wstring parent = MakeTempFolder(L"chosen");
    const std::wstring folder = parent + L"게임 폴더\\Orvane\\";
    ASSERT_EQ(RunSetup(L"/S /D=" + folder.substr(0, folder.size() - 1)), 0u);
    ExpectInstalledIn(folder);
    EXPECT_FALSE(CAppBase::FileExists(DefaultFolder() + L"Orvn.exe"));
    ASSERT_EQ(RunUninstall(L"\"" + folder + L"uninstall.exe\" /S"), 0u);
    EXPECT_EQ(::GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES) << "the program folder stayed";
    EXPECT_FALSE(CAppBase::FileExists(StartMenuLink()));
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, kUninstallKey));
    RemoveFolder(parent);
}
