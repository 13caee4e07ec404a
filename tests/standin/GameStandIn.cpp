// Stands in for a game: records its working folder, command line and the selected gateway's address in
// "<its own path>.log", then ends.
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR args, int) {
    wchar_t self[MAX_PATH] = {}, cwd[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    ::GetCurrentDirectoryW(MAX_PATH, cwd);
    // The gateway list as the games read it: ANSI strings; the selection counts gateways from 1 after the header.
    std::vector<char> list(65536 + 4);
    DWORD size = static_cast<DWORD>(list.size() - 4);
    std::vector<std::string> strings;
    if (!::RegGetValueA(HKEY_CURRENT_USER, "Software\\Battle.net\\Configuration", "Battle.net Gateways",
                        RRF_RT_REG_MULTI_SZ, nullptr, list.data(), &size))
        for (const char* s = list.data(); *s; s += strlen(s) + 1) strings.push_back(s);
    size_t at = strings.size() > 1 ? 3 * (atoi(strings[1].c_str()) - 1) + 2 : 0;
    std::string gateway = at >= 2 && at < strings.size() ? strings[at] : "";
    std::wstring text = std::wstring(L"cwd=") + cwd + L"\r\nargs=" + args + L"\r\ngateway=" +
                        std::wstring(gateway.begin(), gateway.end()) + L"\r\n";
    std::wstring log = std::wstring(self) + L".log";
    HANDLE file = ::CreateFileW(log.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    ::WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    ::CloseHandle(file);
    return 0;
}
