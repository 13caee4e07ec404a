#include "LaunchPlan.h"

#include "AppBase.h"

CLaunchPlan::Step CLaunchPlan::Next(const Facts& f) {
    // The game would wait for a server that just did not answer.
    if (!f.answered) {
        if (!f.goUnanswered) return Step::AskUnanswered;
        if (!*f.goUnanswered) return Step::Done;
    }
    // Unset, the game would quietly connect to whatever server it had before.
    if (!f.listWritten) return Step::WriteServerList;
    if (!*f.listWritten) {
        if (!f.goUnwritten) return Step::AskUnwritten;
        if (!*f.goUnwritten) return Step::Done;
    }
    // Today's game versions read the gateway list: unset, they would quietly use another server.
    if (!f.gatewayWritten) return Step::WriteGateway;
    if (!*f.gatewayWritten) return f.failureTold ? Step::Done : Step::TellGatewayFailed;
    // A game that is not set up is offered the setup sheet, with or without its program page.
    if (f.program != Program::Set) {
        if (!f.programPage) return f.program == Program::NotSet ? Step::AskProgramNotSet : Step::AskProgramNotFound;
        return f.setupOpened ? Step::Done : Step::OpenSetup;
    }
    if (!f.started) return Step::StartGame;
    return *f.started || f.failureTold ? Step::Done : Step::TellStartFailed;
}

CLaunchPlan::Program CLaunchPlan::ProgramState(const std::wstring& path) {
    // A folder would open in Explorer instead of starting a game.
    if (path.empty()) return Program::NotSet;
    return CAppBase::FileExists(path) ? Program::Set : Program::NotFound;
}
