// Stands in for the launcher Orvn.exe in the updater's tests: appends one line
// to "<its own path>.log" each time it starts, then ends; with the argument
// "stay" it keeps running for a minute (a launcher still open).
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR args, int) {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring log = std::wstring(self) + L".log";
    HANDLE file = ::CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        const char line[] = "started\r\n";
        DWORD written = 0;
        ::WriteFile(file, line, sizeof(line) - 1, &written, nullptr);
        ::CloseHandle(file);
    }
    if (args && wcscmp(args, L"stay") == 0) ::Sleep(60000);
    return 0;
}
