// The launcher stand-in: finishes a replacement of start.exe as the launcher does, then appends "started"
// to "<its own path>.log"; with "stay" it runs on for a minute.
#include <windows.h>

#include <cwchar>

#include "AppBase.h"
#include "UpdaterReplacement.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR args, int) {
    CUpdaterReplacement::Finish(CAppBase::ProgramFolder());
    wchar_t log[MAX_PATH + 8] = {};
    ::GetModuleFileNameW(nullptr, log, MAX_PATH);
    wcscat(log, L".log");
    // Two launchers started together (by two updaters) take turns at the log.
    HANDLE file;
    while ((file = ::CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 nullptr)) == INVALID_HANDLE_VALUE &&
           ::GetLastError() == ERROR_SHARING_VIOLATION)
        ::Sleep(10);
    DWORD written = 0;
    ::WriteFile(file, "started\r\n", 9, &written, nullptr);
    ::CloseHandle(file);
    if (args && wcscmp(args, L"stay") == 0) ::Sleep(60000);
    return 0;
}
