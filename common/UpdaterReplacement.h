#pragma once
// The updater cannot replace its own running program, and start.exe is what the
// player's shortcut starts, so it must exist at every instant. Its new copy waits
// beside it, whole and flushed, as "start.exe.orvn-new"; once no updater runs from
// start.exe, one rename puts the new copy in its place. The launcher does that at
// its start, after the updater that started it has ended.
#include <windows.h>

#include <string>

class CUpdaterReplacement {
public:
    static constexpr const wchar_t* kUpdaterName = L"start.exe";
    // A copy whole and flushed, waiting to take its file's name.
    static constexpr const wchar_t* kWaitingSuffix = L".orvn-new";
    // A running program moved aside (what older updaters did to themselves too).
    static constexpr const wchar_t* kMovedAsideSuffix = L".orvn-old";

    // Puts folder's waiting start.exe in place, or, when an older updater was
    // killed with its own program moved aside, that program back. Waits first
    // for this process's parent to end when it is the updater of folder. True
    // when nothing is left to do.
    static bool Finish(const std::wstring& folder);

    // True when both paths name one file (any spelling, any link).
    static bool SameFile(const std::wstring& a, const std::wstring& b);

private:
    static void WaitForParentUpdater(const std::wstring& updater);
};
