#pragma once
// The games (one row each in Games.inc): their folders, list files, where
// their programs are kept in the profile and recorded in the registry, and
// the Battle.net values the launcher writes before it starts one.
#include <windows.h>

#include <string>

struct GameProgram {
    const wchar_t* caption;        // the folder bar's caption
    UINT folder;                   // the folder's identifier
    UINT icon;                     // the folder's and the program page's icon
    const wchar_t* battleNetList;  // list file of the "Battle.net" entry
    const wchar_t* freeList;       // list file of the "Free" entry
    const wchar_t* userList;       // read after it when present
    const wchar_t* profileKey;     // key in the profile's "ProgramPath" section
    const wchar_t* registryKey;    // HKLM key where the game's installation records its "Program"
    const wchar_t* fixedPath;      // start-up default instead of the registry, or null
    int pathBox;                   // the program page's edit box
    int browseButton;              // and its Browse button
};

class CGamePrograms {
public:
    static const wchar_t kSection[];

    static int GameCount();
    // The row of a game (0 StarCraft ..); anything else is StarCraft.
    static const GameProgram& Game(int game);
    // The game whose folder has this identifier; an unknown one is StarCraft.
    static int GameOfFolder(UINT folder);

    // The "Program" value of an HKLM key, or empty.
    static std::wstring ReadProgramValue(const wchar_t* keyPath);
    // What start-up puts into an empty profile entry: the fixed path, or the
    // registry value when the row has none.
    static std::wstring DefaultPath(int game);
    // Fills the empty profile entries from the registry and the fixed paths;
    // false when the profile could not be written.
    static bool FillProgramPaths();
    // Stores one path per game (0 StarCraft ..); false when the profile could not be written.
    static bool StorePaths(const std::wstring* paths);
    // What the player is told when the profile cannot be written.
    static std::wstring StoreFailedText();
    // The path the profile keeps for a game.
    static std::wstring StoredPath(int game);

    // Writes the Battle.net "Server List" value; false when it cannot be written.
    static bool WriteServerList(const std::wstring& address);
    // Makes the server the selected gateway of the games' gateway list in
    // HKCU (a damaged list kept under a copy's name first); false when it
    // could not be written.
    static bool WriteGateway(const std::wstring& address, const std::wstring& name);
    // The setup sheet's line: the gateway the games will use now.
    static std::wstring GatewayText();

    // Starts the game's stored program with its own folder as working folder;
    // on false, *error holds the system's error code.
    static bool StartGame(int game, HWND owner, DWORD* error);
    // The system's text for an error code, or its number.
    static std::wstring ErrorText(DWORD error);
};
