#pragma once
// What a double-click (or Enter) on a server does, as a decision over what is
// known so far: the view asks for the next step, carries it out, records what
// it learned (the player's answer, whether a write or the start worked) and
// asks again, until Done.

#include <optional>
#include <string>

class CLaunchPlan {
public:
    enum class Program { Set, NotSet, NotFound };  // the profile's path for the game
    struct Facts {
        bool answered = true;               // the server answered its probe
        Program program = Program::Set;     // known before the first step
        std::optional<bool> goUnanswered;   // Yes to "this server did not answer, start anyway?"
        std::optional<bool> listWritten;    // the "Server List" value was written
        std::optional<bool> goUnwritten;    // Yes to "the server could not be set, start anyway?"
        std::optional<bool> gatewayWritten; // the games' gateway list selects the server
        std::optional<bool> started;        // the game's program started
        std::optional<bool> programPage;    // Yes to "set the program now?"
        bool failureTold = false;
        bool setupOpened = false;
    };
    enum class Step {
        AskUnanswered,     // ask; No by default
        WriteServerList,
        AskUnwritten,
        WriteGateway,
        TellGatewayFailed, // nothing starts
        StartGame,         // the music stops first
        TellStartFailed,   // the music comes back, the system's reason is told
        AskProgramNotSet,
        AskProgramNotFound,
        OpenSetup,         // on the program page when programPage says so
        Done,
    };
    static Step Next(const Facts& facts);
    // A stored path that is not an existing file (a folder, a pattern) is not found.
    static Program ProgramState(const std::wstring& path);
};
