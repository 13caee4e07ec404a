#include "UpdaterApp.h"

#include <winsock2.h>
#include <commctrl.h>

#include "MainFrame.h"
#include "Updater.h"
#include "resource.h"

CUpdaterApp::CUpdaterApp() : CAppBase(IDS_APP_TITLE, CUpdater::Installed().profile.c_str()) {}

CUpdaterApp::~CUpdaterApp() {
    m_pFrame.reset();
    ::WSACleanup();
}

BOOL CUpdaterApp::InitInstance() {
    // The probe host lookup needs the sockets library; without it the lookup
    // always fails. A failed start only costs the probe.
    WSADATA data;
    ::WSAStartup(MAKEWORD(1, 1), &data);
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&icc);

    m_pFrame = std::make_unique<CMainFrame>();
    m_pFrame->LoadFrame(IDR_MAINFRAME);
    SetMainWnd(m_pFrame->GetHwnd());
    ::ShowWindow(m_pFrame->GetHwnd(), SW_SHOW);
    ::UpdateWindow(m_pFrame->GetHwnd());
    return TRUE;
}

int CUpdaterApp::Run() {
    if (!InitInstance()) return 0;
    return RunMessageLoop();
}
