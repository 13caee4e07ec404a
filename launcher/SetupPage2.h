#pragma once
// The setup sheet's program page: the full path of each game's program, as
// the profile keeps it, with the game's own registry record offered for an
// empty one; saved to the profile when the sheet closes with OK.
#include <windows.h>

#include <string>

#include "PropertyPage.h"

class CSetupPage2 : public CPropertyPage {
public:
    // Reads the stored paths.
    CSetupPage2();

    // A game's path field (0 StarCraft ..).
    std::wstring& Path(int game);

    // One field per game: m_strStarCraftPath, m_strWarCraftPath...
#define GAME(member, ...) std::wstring m_str##member##Path;
#include "Games.inc"
#undef GAME

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
    // The sheet's OK: stores the paths.
    BOOL OnApply() override;

private:
    void Browse(int game);
    // Fields to edit boxes (true) or back (false).
    void UpdateData(bool save);
};
