// Stands in for a game: records its working folder, command line and the selected gateway's address in
// "<its own path>.log", then ends.
#include <windows.h>

#include <string>
#include <vector>

namespace {

// The selected gateway's address as the games read it: the list through the ANSI call, strings up to the first
// empty one, the selection's number counting from 1 after the version and the selection.
std::wstring SelectedGateway() {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Battle.net\\Configuration", 0, KEY_READ, &key)) return L"";
    std::vector<char> data(65536 + 2);
    DWORD size = static_cast<DWORD>(data.size() - 2);
    LONG result = ::RegQueryValueExA(key, "Battle.net Gateways", nullptr, nullptr,
                                     reinterpret_cast<BYTE*>(data.data()), &size);
    ::RegCloseKey(key);
    if (result) return L"";
    std::vector<std::string> strings;
    for (const char* s = data.data(); *s && s < data.data() + size; s += strlen(s) + 1) strings.push_back(s);
    size_t index = strings.size() > 1 ? 3 * (atoi(strings[1].c_str()) - 1) + 2 : 0;
    if (index < 2 || index >= strings.size()) return L"";
    wchar_t address[256] = {};
    ::MultiByteToWideChar(CP_ACP, 0, strings[index].c_str(), -1, address, 255);
    return address;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR args, int) {
    wchar_t self[MAX_PATH] = {}, cwd[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    ::GetCurrentDirectoryW(MAX_PATH, cwd);
    std::wstring text =
        std::wstring(L"cwd=") + cwd + L"\r\nargs=" + args + L"\r\ngateway=" + SelectedGateway() + L"\r\n";
    std::wstring log = std::wstring(self) + L".log";
    HANDLE file = ::CreateFileW(log.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    ::WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    ::CloseHandle(file);
    return 0;
}
