#include "LauncherApp.h"

namespace {
CLauncherApp theApp;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    CAppBase::LoadDllsFromSystemFolderOnly();
    return theApp.Run();
}
