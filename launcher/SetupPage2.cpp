#include "SetupPage2.h"

#include <commdlg.h>

#include <iterator>

#include "AppBase.h"
#include "GamePrograms.h"
#include "resource.h"

namespace {

// The fields in the order of the games' table.
std::wstring CSetupPage2::* const kPathFields[] = {
#define GAME(member, ...) &CSetupPage2::m_str##member##Path,
#include "Games.inc"
#undef GAME
};

}  // namespace

CSetupPage2::CSetupPage2() : CPropertyPage(IDD_SETUP_PROGRAM) {
    for (int game = 0; game < CGamePrograms::GameCount(); ++game) Path(game) = CGamePrograms::StoredPath(game);
}

std::wstring& CSetupPage2::Path(int game) {
    return this->*kPathFields[game >= 0 && game < CGamePrograms::GameCount() ? game : 0];
}

BOOL CSetupPage2::OnInitDialog() {
    for (int game = 0; game < CGamePrograms::GameCount(); ++game)
        if (Path(game).empty()) Path(game) = CGamePrograms::ReadProgramValue(CGamePrograms::Game(game).registryKey);
    UpdateData(false);
    return TRUE;
}

void CSetupPage2::UpdateData(bool save) {
    for (int game = 0; game < CGamePrograms::GameCount(); ++game) {
        if (save)
            Path(game) = GetItemText(CGamePrograms::Game(game).pathBox);
        else
            SetItemText(CGamePrograms::Game(game).pathBox, Path(game));
    }
}

bool CSetupPage2::OnCommand(UINT id, UINT code, HWND control) {
    if (code == BN_CLICKED) {
        for (int game = 0; game < CGamePrograms::GameCount(); ++game) {
            if (id != static_cast<UINT>(CGamePrograms::Game(game).browseButton)) continue;
            Browse(game);
            return true;
        }
    }
    return CPropertyPage::OnCommand(id, code, control);
}

void CSetupPage2::Browse(int game) {
    wchar_t file[MAX_PATH] = {};
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = ::GetParent(m_hWnd);
    ofn.lpstrFilter = L"응용 프로그램 (*.exe)\0*.exe\0모든 파일 (*.*)\0*.*\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrDefExt = L"exe";
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    // Only an existing program file, never a folder or a name that is not there.
    if (!::GetOpenFileNameW(&ofn) || !CAppBase::FileExists(file)) return;
    // The other boxes go back to their fields: what was typed there is dropped.
    Path(game) = file;
    UpdateData(false);
}

BOOL CSetupPage2::OnApply() {
    UpdateData(true);
    std::wstring paths[std::size(kPathFields)];
    for (int game = 0; game < CGamePrograms::GameCount(); ++game) paths[game] = Path(game);
    if (CGamePrograms::StorePaths(paths)) return TRUE;
    // The sheet stays open with what the player typed, to try again or cancel.
    if (CAppBase* app = CAppBase::Get())
        app->MessageBox(::GetParent(m_hWnd), CGamePrograms::StoreFailedText(), MB_OK | MB_ICONEXCLAMATION);
    return FALSE;
}
