#include "UpdaterApp.h"

namespace {
CUpdaterApp theApp;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return theApp.Run(); }
