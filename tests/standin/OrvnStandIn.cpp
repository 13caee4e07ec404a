// The launcher stand-in: appends "started" to "<its own path>.log"; with "stay" it runs on for a minute.
#include <windows.h>

#include <cwchar>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR args, int) {
    wchar_t log[MAX_PATH + 8] = {};
    ::GetModuleFileNameW(nullptr, log, MAX_PATH);
    HANDLE file = ::CreateFileW(wcscat(log, L".log"), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    ::WriteFile(file, "started\r\n", 9, &written, nullptr);
    ::CloseHandle(file);
    if (args && wcscmp(args, L"stay") == 0) ::Sleep(60000);
    return 0;
}
