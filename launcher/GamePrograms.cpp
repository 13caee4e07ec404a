#include "GamePrograms.h"

#include <shellapi.h>

#include <iterator>

#include "AppBase.h"
#include "UniqueHandle.h"
#include "resource.h"

const wchar_t CGamePrograms::kSection[] = L"ProgramPath";

namespace {

const wchar_t kBattleNetKey[] = L"Software\\Battle.net\\Configuration";

const GameProgram kGames[] = {
#define GAME(member, caption, folder, icon, battleNetList, freeList, userList, profileKey, registryKey, fixedPath, \
             pathBox, browseButton)                                                                               \
    {caption, folder, icon, battleNetList, freeList, userList, profileKey, registryKey, fixedPath, pathBox, browseButton},
#include "Games.inc"
#undef GAME
};

}  // namespace

int CGamePrograms::GameCount() { return static_cast<int>(std::size(kGames)); }

const GameProgram& CGamePrograms::Game(int game) { return kGames[game >= 0 && game < GameCount() ? game : 0]; }

int CGamePrograms::GameOfFolder(UINT folder) {
    for (int game = 0; game < GameCount(); ++game)
        if (kGames[game].folder == folder) return game;
    return 0;
}

std::wstring CGamePrograms::ReadProgramValue(const wchar_t* keyPath) {
    HKEY raw = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &raw) != ERROR_SUCCESS) return std::wstring();
    UniqueRegKey key(raw);
    wchar_t buffer[MAX_PATH + 1] = {};
    DWORD type = 0;
    DWORD size = MAX_PATH * sizeof(wchar_t);
    if (::RegQueryValueExW(key.Get(), L"Program", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::wstring();
    buffer[size / sizeof(wchar_t)] = L'\0';
    return buffer;
}

std::wstring CGamePrograms::DefaultPath(int game) {
    const GameProgram& row = Game(game);
    return row.fixedPath ? row.fixedPath : ReadProgramValue(row.registryKey);
}

std::wstring CGamePrograms::StoredPath(int game) {
    CAppBase* app = CAppBase::Get();
    return app ? app->GetProfileString(kSection, Game(game).profileKey, L"") : std::wstring();
}

void CGamePrograms::FillProgramPaths() {
    CAppBase* app = CAppBase::Get();
    if (!app) return;
    for (int i = 0; i < GameCount(); ++i) {
        std::wstring path = StoredPath(i);
        if (path.empty()) path = DefaultPath(i);
        app->WriteProfileString(kSection, kGames[i].profileKey, path);
    }
}

bool CGamePrograms::WriteServerList(const std::wstring& address) {
    // Opened, never created: a machine without Battle.net gets nothing written.
    HKEY raw = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kBattleNetKey, 0, KEY_WRITE, &raw) != ERROR_SUCCESS) return false;
    UniqueRegKey key(raw);
    return ::RegSetValueExW(key.Get(), L"Server List", 0, REG_SZ, reinterpret_cast<const BYTE*>(address.c_str()),
                            static_cast<DWORD>((address.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

CGamePrograms::StartResult CGamePrograms::StartGame(int game, HWND owner) {
    std::wstring path = StoredPath(game);
    if (path.empty()) return StartResult::NotSet;
    if (!CAppBase::FileExists(path)) return StartResult::NotFound;
    std::wstring folder = path;
    CAppBase::StripFileName(folder);
    ::ShellExecuteW(owner, L"open", path.c_str(), nullptr, folder.c_str(), SW_SHOWNORMAL);
    return StartResult::Started;
}
