#include "UpdaterApp.h"

namespace {
CUpdaterApp theApp;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    CAppBase::LoadDllsFromSystemFolderOnly();
    return theApp.Run();
}
