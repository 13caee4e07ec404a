#include "LauncherApp.h"

#include <winsock2.h>
#include <commctrl.h>
#include <ole2.h>

#include <thread>

#include "MainFrame.h"
#include "UpdaterReplacement.h"
#include "resource.h"

CLauncherApp::CLauncherApp() : CAppBase(IDS_APP_TITLE, L"Orvn.INI") {}

CLauncherApp::~CLauncherApp() {
    m_pFrame.reset();
    ::WSACleanup();
    // After the frame: the web panels release their controls with their windows.
    if (m_bOleInitialized) ::OleUninitialize();
}

BOOL CLauncherApp::InitInstance() {
    // The updater's new copy waits for the updater to end; the window does not wait with it.
    std::thread([folder = ProgramFolder()] { CUpdaterReplacement::Finish(folder); }).detach();
    WSADATA data;
    if (::WSAStartup(MAKEWORD(1, 1), &data) != 0) {
        MessageBox(nullptr, LoadString(IDS_SOCKETS_INIT_FAILED), MB_OK);
        return FALSE;
    }
    // The control container of the web panels needs OLE on this thread.
    m_bOleInitialized = SUCCEEDED(::OleInitialize(nullptr));
    // Internet classes: the IP address control of the server edit dialog.
    INITCOMMONCONTROLSEX icc{sizeof(icc),
                             ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES};
    ::InitCommonControlsEx(&icc);

    m_pFrame = std::make_unique<CMainFrame>();
    // Without its window the program would run on, invisible, for ever.
    if (!m_pFrame->LoadFrame(IDR_MAINFRAME)) {
        m_pFrame.reset();
        return FALSE;
    }
    SetMainWnd(m_pFrame->GetHwnd());
    ::ShowWindow(m_pFrame->GetHwnd(), SW_SHOW);
    ::UpdateWindow(m_pFrame->GetHwnd());

    SetAppName(L"Orvane");
    return TRUE;
}

int CLauncherApp::Run() {
    // A start that failed ends the program as a failure.
    if (!InitInstance()) return 1;
    return RunMessageLoop();
}
