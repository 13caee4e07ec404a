#include "GamePrograms.h"

#include <shellapi.h>

#include <iterator>

#include "AppBase.h"
#include "GatewayList.h"
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
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ | KEY_WOW64_32KEY, &raw) != ERROR_SUCCESS)
        return std::wstring();
    UniqueRegKey key(raw);
    wchar_t buffer[MAX_PATH + 1] = {};
    DWORD type = 0;
    DWORD size = MAX_PATH * sizeof(wchar_t);
    if (::RegQueryValueExW(key.Get(), L"Program", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::wstring();
    buffer[size / sizeof(wchar_t)] = L'\0';
    if (type == REG_SZ) return buffer;
    // "%ProgramFiles%\..." as an installer may write it: the program is where it expands to.
    wchar_t expanded[MAX_PATH + 1] = {};
    DWORD n = ::ExpandEnvironmentStringsW(buffer, expanded, MAX_PATH + 1);
    return n && n <= MAX_PATH + 1 ? expanded : buffer;
}

std::wstring CGamePrograms::DefaultPath(int game) {
    const GameProgram& row = Game(game);
    return row.fixedPath ? row.fixedPath : ReadProgramValue(row.registryKey);
}

std::wstring CGamePrograms::StoredPath(int game) {
    CAppBase* app = CAppBase::Get();
    return app ? app->GetProfileString(kSection, Game(game).profileKey, L"") : std::wstring();
}

bool CGamePrograms::FillProgramPaths() {
    CAppBase* app = CAppBase::Get();
    if (!app) return true;
    bool stored = true;
    for (int i = 0; i < GameCount(); ++i) {
        // Only what changes is written, so a read-only profile that is
        // already complete is not reported at every start.
        const wchar_t kAbsent[] = L"\x01";
        std::wstring was = app->GetProfileString(kSection, kGames[i].profileKey, kAbsent);
        std::wstring path = was == kAbsent ? std::wstring() : was;
        if (path.empty()) path = DefaultPath(i);
        if (path != was && !app->WriteProfileString(kSection, kGames[i].profileKey, path)) stored = false;
    }
    return stored;
}

bool CGamePrograms::StorePaths(const std::wstring* paths) {
    CAppBase* app = CAppBase::Get();
    if (!app) return true;
    bool stored = true;
    for (int i = 0; i < GameCount(); ++i)
        if (!app->WriteProfileString(kSection, kGames[i].profileKey, paths[i])) stored = false;
    return stored;
}

std::wstring CGamePrograms::StoreFailedText() {
    CAppBase* app = CAppBase::Get();
    return L"게임 프로그램의 경로를 설정 파일에 저장할 수 없습니다.\n" + (app ? app->ProfilePath() : std::wstring()) +
           L"\n\n파일이 읽기 전용인지 확인하십시오.";
}

bool CGamePrograms::WriteServerList(const std::wstring& address) {
    // Opened, never created: a machine without Battle.net gets nothing written.
    HKEY raw = nullptr;
    // The 32-bit games' view, also from a 64-bit build.
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kBattleNetKey, 0, KEY_WRITE | KEY_WOW64_32KEY, &raw) != ERROR_SUCCESS)
        return false;
    UniqueRegKey key(raw);
    return ::RegSetValueExW(key.Get(), L"Server List", 0, REG_SZ, reinterpret_cast<const BYTE*>(address.c_str()),
                            static_cast<DWORD>((address.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

namespace {

// A value's type and bytes; false when it is absent or cannot be read.
bool ReadValue(HKEY key, const wchar_t* name, DWORD* type, std::string* bytes) {
    for (;;) {
        DWORD size = static_cast<DWORD>(bytes->size());
        LONG result = ::RegQueryValueExW(key, name, nullptr, type, reinterpret_cast<BYTE*>(bytes->data()), &size);
        if (result == ERROR_MORE_DATA || (result == ERROR_SUCCESS && size > bytes->size())) {
            bytes->resize(size);
            continue;
        }
        if (result != ERROR_SUCCESS) return false;
        bytes->resize(size);
        return true;
    }
}

bool WriteValue(HKEY key, const wchar_t* name, DWORD type, const std::string& bytes) {
    return ::RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                            static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
}

// Keeps a damaged list's bytes under the first copy name that is free or
// already holds them (a retry after a failed write makes no second copy).
bool KeepCopy(HKEY key, DWORD type, const std::string& bytes) {
    for (int n = 1; n <= 99; ++n) {
        std::wstring name = CGatewayList::CopyName(n);
        DWORD oldType = 0;
        std::string old;
        if (!ReadValue(key, name.c_str(), &oldType, &old)) return WriteValue(key, name.c_str(), type, bytes);
        if (oldType == type && old == bytes) return true;
    }
    return false;
}

// The stored gateway list's type and bytes; false when there is none.
bool ReadGatewayValue(DWORD* type, std::string* bytes) {
    HKEY raw = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kBattleNetKey, 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS) return false;
    UniqueRegKey key(raw);
    return ReadValue(key.Get(), CGatewayList::kValueName, type, bytes);
}

}  // namespace

bool CGamePrograms::WriteGateway(const std::wstring& address, const std::wstring& name) {
    // HKCU is shared by both views: opened as the games open it, and made
    // when a game never ran here.
    DWORD type = 0;
    std::string bytes;
    const bool present = ReadGatewayValue(&type, &bytes);
    CGatewayList::Update update;
    if (!CGatewayList::Plan(present, type, bytes, address, name, &update)) return false;
    // A list that already selects the server is left alone, even read-only.
    if (!update.write) return true;
    HKEY raw = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kBattleNetKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                          &raw, nullptr) != ERROR_SUCCESS)
        return false;
    UniqueRegKey key(raw);
    if (update.keepCopy && !KeepCopy(key.Get(), type, bytes)) return false;
    return WriteValue(key.Get(), CGatewayList::kValueName, REG_MULTI_SZ, update.bytes);
}

std::wstring CGamePrograms::GatewayText() {
    const std::wstring label = L"게임이 접속할 서버: ";
    DWORD type = 0;
    std::string bytes;
    if (!ReadGatewayValue(&type, &bytes)) return label + L"설정되지 않음";
    CGatewayList list;
    if ((type != REG_MULTI_SZ && type != REG_BINARY) || !list.Parse(bytes)) return label + L"목록을 읽을 수 없음";
    const CGatewayList::Gateway* g = list.Selected();
    return label + g->name + L" (" + g->address + L")";
}

bool CGamePrograms::StartGame(int game, HWND owner, DWORD* error) {
    std::wstring path = StoredPath(game);
    std::wstring folder = path;
    CAppBase::StripFileName(folder);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    // The player hears of a failure from us, once, not from the shell as well.
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.hwnd = owner;
    info.lpVerb = L"open";
    info.lpFile = path.c_str();
    info.lpDirectory = folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (::ShellExecuteExW(&info)) return true;
    if (error) *error = ::GetLastError();
    return false;
}

std::wstring CGamePrograms::ErrorText(DWORD error) {
    wchar_t* text = nullptr;
    DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, error, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    std::wstring result = n && text ? std::wstring(text, n) : std::wstring();
    if (text) ::LocalFree(text);
    while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r' || result.back() == L' '))
        result.pop_back();
    return result.empty() ? L"오류 코드 " + std::to_wstring(error) : result + L" (" + std::to_wstring(error) + L")";
}
