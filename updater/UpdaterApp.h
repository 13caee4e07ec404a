#pragma once
#include <memory>

#include "AppBase.h"

class CMainFrame;

// The updater's application object: start-up and the message loop. Its name
// ("Start") captions the message boxes; its profile is the installation's
// record, "start.INI" beside the program.
class CUpdaterApp : public CAppBase {
public:
    CUpdaterApp();
    ~CUpdaterApp() override;

    BOOL InitInstance();
    int Run();

private:
    std::unique_ptr<CMainFrame> m_pFrame;
};
