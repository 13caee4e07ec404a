#include "AppBase.h"

#include "UniqueHandle.h"

namespace {
CAppBase* g_pApp = nullptr;
}

CAppBase::CAppBase(UINT titleStringId, const wchar_t* profileName)
    : m_appName(LoadString(titleStringId)), m_profileName(profileName) {
    g_pApp = this;
}

CAppBase::~CAppBase() {
    if (g_pApp == this) g_pApp = nullptr;
}

CAppBase* CAppBase::Get() { return g_pApp; }

int CAppBase::MessageBox(HWND owner, const std::wstring& text, UINT type) const {
    return ::MessageBoxW(owner, text.c_str(), m_appName.c_str(), type);
}

std::wstring CAppBase::GetProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* defaultValue) const {
    // Grow the buffer until the value fits, as the value may be a long path.
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = ::GetPrivateProfileStringW(section, key, defaultValue, buffer.data(),
                                             static_cast<DWORD>(buffer.size()), m_profileName.c_str());
        if (n + 1 < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool CAppBase::WriteProfileString(const wchar_t* section, const wchar_t* key, const std::wstring& value) const {
    return ::WritePrivateProfileStringW(section, key, value.c_str(), m_profileName.c_str()) != FALSE;
}

void CAppBase::StripFileName(wchar_t* path) {
    if (!path) return;
    wchar_t* last = wcsrchr(path, L'\\');
    if (last) last[1] = L'\0';
}

void CAppBase::StripFileName(std::wstring& path) {
    size_t pos = path.rfind(L'\\');
    if (pos != std::wstring::npos) path.resize(pos + 1);
}

BOOL CAppBase::FileExists(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(::FindFirstFileW(path.c_str(), &data));
    return find ? TRUE : FALSE;
}

std::wstring CAppBase::ProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    StripFileName(path);
    return path;
}

std::wstring CAppBase::LoadString(UINT id) {
    const wchar_t* text = nullptr;
    int n = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    return n > 0 ? std::wstring(text, n) : std::wstring();
}

void CAppBase::LoadDllsFromSystemFolderOnly() {
    // Looked up, not imported: Windows 7 has it only with update KB2533623, and
    // without it the program must still start.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    auto proc = ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void (*)()>(proc));
    if (setDefault) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

int CAppBase::RunMessageLoop() {
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
