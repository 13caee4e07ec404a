#pragma once
#include <memory>

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
    std::unique_ptr<CMainFrame> m_pFrame;
    bool m_bOleInitialized = false;
};
