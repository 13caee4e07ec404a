#pragma once
// The four games: where their programs are kept in the profile, where the
// games record themselves in the registry, and the Battle.net value the
// launcher writes before it starts one.
#include <windows.h>

#include <string>

struct GameProgram {
    const wchar_t* profileKey;   // key in the profile's "ProgramPath" section
    const wchar_t* registryKey;  // HKLM key where the game's installation records its "Program"
    const wchar_t* fixedPath;    // start-up default instead of the registry, or null
};

class CGamePrograms {
public:
    static constexpr int kGameCount = 4;
    static const wchar_t kSection[];

    // The row of a game (0 StarCraft .. 3 Diablo SW); anything else is StarCraft.
    static const GameProgram& Game(int game);
    static const wchar_t* ProgramKey(int game) { return Game(game).profileKey; }

    // The "Program" value of an HKLM key, or empty.
    static std::wstring ReadProgramValue(const wchar_t* keyPath);
    // What start-up puts into an empty profile entry: the fixed path, or the
    // registry value when the row has none.
    static std::wstring DefaultPath(int game);
    // Fills the empty profile entries from the registry and the fixed paths.
    static void FillProgramPaths();
    // The path the profile keeps for a game.
    static std::wstring StoredPath(int game);

    // Writes the Battle.net "Server List" value; false when it cannot be written.
    static bool WriteServerList(const std::wstring& address);

    enum class StartResult { Started, NotSet, NotFound };
    // Starts the game's stored program with its own folder as working folder.
    static StartResult StartGame(int game, HWND owner);
};
