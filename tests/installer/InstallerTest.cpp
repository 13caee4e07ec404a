// The installer as a player and a script meet it, on a Windows nobody has
// installed anything on (a fresh copy of the bench prefix): silent install,
// the shortcuts and the uninstall entry as Windows reads them, an upgrade over
// the player's own files, a chosen folder, the silent uninstall, and the
// shortcut's way in: update over loopback, then the installed launcher.
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
    std::wstring out;
    if (SUCCEEDED(::SHGetKnownFolderPath(id, 0, nullptr, &path))) out = path;
    ::CoTaskMemFree(path);
    return out;
}

std::wstring DefaultFolder() { return Known(FOLDERID_LocalAppData) + L"\\Programs\\Orvane\\"; }
std::wstring StartMenuLink() { return Known(FOLDERID_Programs) + L"\\Orvane.lnk"; }
std::wstring DesktopLink() { return Known(FOLDERID_Desktop) + L"\\Orvane.lnk"; }

std::wstring WindowsFile(const wchar_t* name) {
    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    return std::wstring(windows) + L"\\" + name;
}

struct Shortcut {
    std::wstring target, workDir, icon;
};

// Reads a .lnk the way Explorer does.
bool ReadShortcut(const std::wstring& path, Shortcut* out) {
    IShellLinkW* link = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link))))
        return false;
    IPersistFile* file = nullptr;
    bool ok = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
              SUCCEEDED(file->Load(path.c_str(), STGM_READ));
    if (ok) {
        wchar_t buffer[MAX_PATH] = {};
        int index = 0;
        ok = SUCCEEDED(link->GetPath(buffer, MAX_PATH, nullptr, SLGP_RAWPATH));
        out->target = buffer;
        link->GetWorkingDirectory(buffer, MAX_PATH);
        out->workDir = buffer;
        link->GetIconLocation(buffer, MAX_PATH, &index);
        out->icon = buffer;
    }
    if (file) file->Release();
    link->Release();
    return ok;
}

std::wstring UninstallString(const wchar_t* name) {
    std::wstring value;
    return RegistryString(HKEY_CURRENT_USER, kUninstallKey, name, &value) ? value : L"<none>";
}

DWORD UninstallDword(const wchar_t* name) {
    DWORD value = 0, size = sizeof(value);
    ::RegGetValueW(HKEY_CURRENT_USER, kUninstallKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

// Names of the files directly in a folder.
std::set<std::wstring> FilesIn(const std::wstring& folder) {
    std::set<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((folder + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.insert(data.cFileName);
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return names;
}

// The files the installer must put in place: the program folder of the build,
// less a player's own list.
std::set<std::wstring> ShippedFiles() {
    std::set<std::wstring> names = FilesIn(DistFolder());
    names.erase(L"User.txt");
    return names;
}

bool AnyChildOf(DWORD pid) {
    HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    bool found = false;
    for (BOOL more = ::Process32FirstW(snap, &entry); more && !found; more = ::Process32NextW(snap, &entry))
        found = entry.th32ParentProcessID == pid;
    ::CloseHandle(snap);
    return found;
}

std::wstring ProcessImage(DWORD pid) {
    wchar_t path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process) {
        ::QueryFullProcessImageNameW(process, 0, path, &size);
        ::CloseHandle(process);
    }
    return path;
}

// The visible top-level window "Orvane" of a process started from that file.
HWND FindLauncherOf(const std::wstring& exe) {
    HWND hwnd = nullptr;
    while ((hwnd = ::FindWindowExW(nullptr, hwnd, nullptr, L"Orvane")) != nullptr) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(hwnd, &pid);
        if (::IsWindowVisible(hwnd) && Lower(ProcessImage(pid)) == Lower(exe)) return hwnd;
    }
    return nullptr;
}

DWORD RunSetup(const std::wstring& args) {
    Process setup;
    if (!StartProcess(SetupExe(), args, L"", &setup)) return ~0u;
    return setup.Wait(120000);
}

// Runs a command line as "Apps" does. The uninstaller hands over to a copy of
// itself in the temp folder and ends at once; the work is done when that
// copy has ended too.
DWORD RunUninstall(const std::wstring& commandLine) {
    std::wstring exe = commandLine, args;
    if (!exe.empty() && exe[0] == L'"') {
        size_t close = exe.find(L'"', 1);
        args = close + 2 < exe.size() ? exe.substr(close + 2) : L"";
        exe = exe.substr(1, close - 1);
    }
    Process uninstall;
    if (!StartProcess(exe, args, L"", &uninstall)) return ~0u;
    DWORD rc = uninstall.Wait(120000);
    const DWORD parent = uninstall.pid;
    PumpUntil([parent] { return !AnyChildOf(parent); }, 120000);
    return rc;
}

void ExpectShippedFilesIn(const std::wstring& folder) {
    for (const auto& name : ShippedFiles()) {
        std::string shipped, installed;
        ASSERT_TRUE(ReadFileBytes(DistFolder() + name, &shipped));
        EXPECT_TRUE(ReadFileBytes(folder + name, &installed)) << "missing " << folder << name;
        EXPECT_TRUE(installed == shipped) << name << " differs from the build's";
    }
}

void ExpectShortcutTo(const std::wstring& link, const std::wstring& folder) {
    Shortcut s;
    ASSERT_TRUE(ReadShortcut(link, &s)) << link;
    EXPECT_EQ(Lower(s.target), Lower(folder + L"start.exe")) << link;
    EXPECT_EQ(Lower(s.workDir + L"\\"), Lower(folder)) << link;
    EXPECT_EQ(Lower(s.icon), Lower(folder + L"Orvn.exe")) << link;
}

}  // namespace

// No administrator rights: Windows asks for them only when the manifest says
// so (an installer without one is elevated by name), and nothing may land
// outside the player's own profile.
TEST(Installer, AsksForNoAdministratorRights) {
    HMODULE setup = ::LoadLibraryExW(SetupExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(setup, nullptr);
    HRSRC found = ::FindResourceW(setup, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
    ASSERT_NE(found, nullptr);
    std::string manifest(static_cast<const char*>(::LockResource(::LoadResource(setup, found))),
                         ::SizeofResource(setup, found));
    ::FreeLibrary(setup);
    EXPECT_NE(manifest.find("requestedExecutionLevel level=\"asInvoker\""), std::string::npos) << manifest;
    EXPECT_EQ(manifest.find("requireAdministrator"), std::string::npos);
    EXPECT_EQ(manifest.find("highestAvailable"), std::string::npos);
}

TEST(Installer, SilentInstallUpgradeAndUninstallKeepThePlayersFiles) {
    const std::wstring folder = DefaultFolder();
    ASSERT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, kUninstallKey)) << "the prefix is not fresh";
    ASSERT_FALSE(ShippedFiles().empty());

    ASSERT_EQ(RunSetup(L"/S"), 0u);
    ExpectShippedFilesIn(folder);
    EXPECT_TRUE(CAppBase::FileExists(folder + L"uninstall.exe"));
    ExpectShortcutTo(StartMenuLink(), folder);
    ExpectShortcutTo(DesktopLink(), folder);

    // The entry under "Apps", for this user only.
    EXPECT_EQ(UninstallString(L"DisplayName"), L"Orvane");
    EXPECT_EQ(UninstallString(L"Publisher"), L"Orvane");
    EXPECT_EQ(UninstallString(L"DisplayVersion"), ORVN_VERSION);
    EXPECT_EQ(Lower(UninstallString(L"DisplayIcon")), Lower(folder + L"Orvn.exe,0"));
    EXPECT_EQ(Lower(UninstallString(L"InstallLocation") + L"\\"), Lower(folder));
    EXPECT_EQ(Lower(UninstallString(L"UninstallString")), Lower(L"\"" + folder + L"uninstall.exe\""));
    ULONGLONG shipped = 0;
    for (const auto& name : ShippedFiles()) {
        std::string bytes;
        ReadFileBytes(DistFolder() + name, &bytes);
        shipped += bytes.size();
    }
    EXPECT_GE(UninstallDword(L"EstimatedSize") * 1024ull, shipped);
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_WOW64_32KEY));
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_WOW64_64KEY));

    // The player's own servers and settings; and a program file that is not
    // the shipped one, as after an older version.
    const std::string userList = ToCp949(L"내 서버,10.1.2.3\r\n친구 서버,127.0.0.9");
    ASSERT_TRUE(WriteFileBytes(folder + L"User.txt", userList));
    const std::string profile = "[ProgramPath]\r\nStarCraft=C:\\Games\\StarCraft.exe\r\n";
    ASSERT_TRUE(WriteFileBytes(WindowsFile(L"Orvn.INI"), profile));
    ASSERT_TRUE(WriteFileBytes(folder + L"Orvn.exe", "an older launcher"));

    ASSERT_EQ(RunSetup(L"/S"), 0u);
    ExpectShippedFilesIn(folder);
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(folder + L"User.txt", &bytes) && bytes == userList) << "upgrade changed User.txt";

    // As a script uninstalls: the entry's quiet command.
    ASSERT_EQ(RunUninstall(UninstallString(L"QuietUninstallString")), 0u);
    EXPECT_EQ(FilesIn(folder), std::set<std::wstring>{L"User.txt"});
    EXPECT_TRUE(ReadFileBytes(folder + L"User.txt", &bytes) && bytes == userList) << "uninstall changed User.txt";
    EXPECT_TRUE(ReadFileBytes(WindowsFile(L"Orvn.INI"), &bytes) && bytes == profile) << "uninstall changed the profile";
    EXPECT_FALSE(CAppBase::FileExists(StartMenuLink()));
    EXPECT_FALSE(CAppBase::FileExists(DesktopLink()));
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, kUninstallKey));
    ::DeleteFileW((folder + L"User.txt").c_str());
    ::RemoveDirectoryW(folder.c_str());
}

// /D= with a folder of spaces and Hangul, as a friend's script might pass it;
// without a "User.txt" the uninstaller leaves nothing behind.
TEST(Installer, ChosenFolder) {
    const std::wstring parent = MakeTempFolder(L"chosen");
    const std::wstring folder = parent + L"게임 폴더\\Orvane\\";
    ASSERT_EQ(RunSetup(L"/S /D=" + folder.substr(0, folder.size() - 1)), 0u);
    ExpectShippedFilesIn(folder);
    ExpectShortcutTo(StartMenuLink(), folder);
    EXPECT_EQ(Lower(UninstallString(L"InstallLocation") + L"\\"), Lower(folder));
    EXPECT_FALSE(CAppBase::FileExists(DefaultFolder() + L"Orvn.exe"));

    ASSERT_EQ(RunUninstall(L"\"" + folder + L"uninstall.exe\" /S"), 0u);
    EXPECT_EQ(::GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES) << "the program folder stayed";
    EXPECT_FALSE(CAppBase::FileExists(StartMenuLink()));
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, kUninstallKey));
    RemoveFolder(parent);
}

// The player's every day: the Start-menu shortcut runs the installed
// start.exe, which fetches the newer server list from the update server and
// hands over to the installed launcher, which measures that list.
TEST(Installer, ShortcutUpdatesThenStartsTheInstalledLauncher) {
    const std::wstring folder = DefaultFolder();
    ASSERT_EQ(RunSetup(L"/S"), 0u);
    ASSERT_TRUE(CAppBase::FileExists(folder + L"start.exe"));

    StandInServers servers;
    ASSERT_FALSE(servers.Accepting().empty());
    const std::wstring release = MakeTempFolder(L"release");
    ASSERT_TRUE(WriteListFile(release + L"Blizzard.txt", {{L"새 서버", servers.Accepting()}}));
    std::string newer;
    ASSERT_TRUE(ReadFileBytes(release + L"Blizzard.txt", &newer));
    ASSERT_TRUE(WriteManifest(release + L"version.ini", {{L"Blizzard.txt", L"2", static_cast<int>(newer.size())}}));
    UpdateServer update;
    ASSERT_TRUE(update.Start(release));
    ProxySetting proxy(update.Port());

    // As Explorer opens a shortcut.
    const std::wstring link = StartMenuLink();
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.lpFile = link.c_str();
    info.nShow = SW_SHOWNORMAL;
    ASSERT_TRUE(::ShellExecuteExW(&info));

    HWND launcher = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (launcher = FindLauncherOf(folder + L"Orvn.exe")) != nullptr; }, 90000))
        << "the installed launcher did not open";
    std::string installed;
    EXPECT_TRUE(ReadFileBytes(folder + L"Blizzard.txt", &installed) && installed == newer);
    EXPECT_EQ(update.CountRequests(L"Blizzard.txt"), 1);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(launcher, &pid);

    // The open StarCraft folder's "Battle.net" tile: the new list is measured.
    HWND view = ::GetWindow(launcher, GW_CHILD);
    Pump(1000);
    POINT tile = ClientToScreenPoint(view, 49, 210);
    ClickAt(tile.x, tile.y);
    EXPECT_TRUE(PumpUntil([&] { return servers.Accepted() > 0; }, 30000)) << "no probe reached the listed server";

    HANDLE process = ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
    ::PostMessageW(launcher, WM_CLOSE, 0, 0);
    if (process && ::WaitForSingleObject(process, 15000) != WAIT_OBJECT_0) ::TerminateProcess(process, 1);
    if (process) ::CloseHandle(process);
    RemoveFolder(release);
    EXPECT_EQ(RunUninstall(UninstallString(L"QuietUninstallString")), 0u);
}
