#pragma once
#include "AppBase.h"

class CMainFrame;

// The launcher's application object: start-up and the message loop.
class CLauncherApp : public CAppBase {
public:
    CLauncherApp();
    ~CLauncherApp() override;

    BOOL InitInstance();
    int Run();

private:
    CMainFrame* m_pFrame = nullptr;
    bool m_bOleInitialized = false;
};
