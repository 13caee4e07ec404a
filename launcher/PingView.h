#pragma once
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "DIB.h"
#include "FolderBar.h"
#include "SkinButton.h"
#include "ServerListCtrl.h"
#include "Window.h"

class CServerEntry;
class CSweepThread;

// Process-wide state of the sweep, shared by the user-interface thread and the
// sweep thread.
extern int g_nCurrentGame;                           // game of the current list: 0 StarCraft .. 3 Diablo SW
extern std::atomic<CSweepThread*> g_pSweepThread;    // the running sweep, or null
extern std::atomic<bool> g_bStopSweep;               // asks the sweep to end after its current server
extern std::atomic<CServerEntry*> g_pProbedEntry;    // the entry whose probe is under way
extern BOOL g_bShowProgramPage;                      // the next Setup opens on the program page

// The launcher's whole user interface: paints the skin and owns every control
// and the current server list.
class CPingView : public CWindow {
public:
    CPingView();
    ~CPingView() override;

    bool Create(HWND parent, const RECT& rect, UINT id);
    // Commands offered by the frame first; true when handled.
    bool OnCommand(UINT id);

    // Server groups and the sweep.
    void SelectServerGroup(const wchar_t* file1, const wchar_t* file2, int game);
    BOOL StopSweep();
    void ClearServerList();
    bool LoadServerList(const std::wstring& path);
    static UINT SweepThreadProc(CSweepThread* thread);
    static int CALLBACK CompareResponse(LPARAM a, LPARAM b, LPARAM sortData);

    // Battle.net configuration and game start.
    static void WriteServerList(const std::wstring& address);
    static std::wstring ReadProgramValue(const wchar_t* keyPath);
    // Profile key in section "ProgramPath" of a game (0..3).
    static const wchar_t* ProgramKey(int game);
    void FillProgramPaths();

    CServerListCtrl& GetServerList() { return m_serverList; }
    CFolderBar& GetFolderBar() { return m_folderBar; }
    CSkinButton& GetButton(int i) { return m_buttons[i]; }
    // The link a client point opens (the three hot spots), or null.
    static const wchar_t* HotSpotLink(POINT pt);

    // True when the entry is one of the current list's.
    bool IsCurrentEntry(const CServerEntry* entry) const;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT OnCreate();
    void OnDestroy();
    void OnPaint();
    void OnLButtonDown(POINT pt, WPARAM wParam, LPARAM lParam);
    void OnLButtonUp(WPARAM wParam, LPARAM lParam);
    void OnMouseMove(POINT pt, WPARAM wParam, LPARAM lParam);
    LRESULT OnSetCursor(WPARAM wParam, LPARAM lParam);
    void OnAppExit();
    LRESULT OnGetResponseTime(WPARAM folder, LPARAM item);
    LRESULT OnFolderBarChanged();
    LRESULT OnConnect(WPARAM socket, LPARAM event);
    LRESULT OnLaunchBattleNet(CServerEntry* entry);
    void OnSetup();

    CDIB m_skin;
    CServerListCtrl m_serverList;
    CFolderBar m_folderBar;
    // The first two become "Setup" and "Exit"; the others never get a window.
    CSkinButton m_buttons[6];
    // The entries of the list's rows; the rows' item data point into these.
    std::vector<std::shared_ptr<CServerEntry>> m_entries;
    // The sweep this view started, kept until it has been waited for.
    std::shared_ptr<CSweepThread> m_pSweep;
    int m_nDragStartX = 0;
    int m_nDragStartY = 0;
    BOOL m_bDragging = FALSE;
    HCURSOR m_hSelectCursor = nullptr;
};
