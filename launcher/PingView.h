#pragma once
#include <winsock2.h>
#include <windows.h>

#include "DIB.h"
#include "FolderBar.h"
#include "SkinButton.h"
#include "SkinSlider.h"
#include "UniqueHandle.h"
#include "ServerGroup.h"
#include "ServerListCtrl.h"
#include "WebBrowser2.h"
#include "Window.h"

class CServerEntry;

extern BOOL g_bShowProgramPage;  // the next Setup opens on the program page

// The launcher's whole user interface: paints the skin and owns every control
// and the current server list.
class CPingView : public CWindow {
public:
    CPingView();
    ~CPingView() override;

    bool Create(HWND parent, const RECT& rect, UINT id);
    // Commands offered by the frame first; true when handled.
    bool OnCommand(UINT id);

    // The link a client point opens (the three hot spots), or null.
    static const wchar_t* HotSpotLink(POINT pt);

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
    LRESULT OnLaunchBattleNet(CServerEntry* entry);
    void OnSetup();
    // Background music: the "BGM" wave of the resource library beside the program.
    LRESULT OnSoundPlayStart();
    LRESULT OnSoundPlayStop();
    void OnLauncherKey(WPARAM key);
    // Sees this thread's keys before any window does, so that Enter and F5 work
    // whichever child has the focus.
    static LRESULT CALLBACK KeyHook(int code, WPARAM wParam, LPARAM lParam);

    // The advertising banner on top and the news panel on the right.
    CWebBrowser2 m_adBrowser;
    CWebBrowser2 m_newsBrowser;
    CDIB m_skin;
    CServerListCtrl m_serverList;
    CFolderBar m_folderBar;
    CSkinSlider m_volumeSlider;
    // The first two become "Setup" and "Exit"; the others never get a window.
    CSkinButton m_buttons[6];
    // Declared after the list it fills.
    CServerGroup m_group;
    int m_nDragStartX = 0;
    int m_nDragStartY = 0;
    BOOL m_bDragging = FALSE;
    HCURSOR m_hSelectCursor = nullptr;
    UniqueModule m_resourceLibrary;  // loaded by the first music start
    UniqueHook m_keyHook;
    static CPingView* s_pKeyView;  // the view the hook reports to
};
