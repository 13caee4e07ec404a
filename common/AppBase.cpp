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
    // Checked first: a failed write to a profile that is there is not
    // reported by the profile functions on every system.
    if (!MakeProfileUnicode()) return false;
    return ::WritePrivateProfileStringW(section, key, value.c_str(), m_profileName.c_str()) != FALSE;
}

std::wstring CAppBase::ProfileFilePath(const std::wstring& name) {
    if (name.find_first_of(L"\\/") != std::wstring::npos) return name;
    wchar_t folder[MAX_PATH] = {};
    UINT n = ::GetWindowsDirectoryW(folder, MAX_PATH);
    std::wstring path(folder, n < MAX_PATH ? n : 0);
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    return path + name;
}

bool CAppBase::MakeProfileUnicode() const {
    const std::wstring path = ProfilePath();
    // Windows refuses to write a read-only file to anyone; an administrator's
    // (or root's) open would succeed elsewhere, so it is asked first.
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return false;
    std::string bytes;
    {
        UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file && ::GetLastError() != ERROR_FILE_NOT_FOUND) return false;
        LARGE_INTEGER size{};
        // A profile is small; anything huge is not ours to rewrite.
        if (file && (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart > 16 * 1024 * 1024)) return false;
        // The byte-order mark first: a profile already in UTF-16 is not read
        // further, only checked to be writable.
        DWORD head = size.QuadPart < 2 ? static_cast<DWORD>(size.QuadPart) : 2, read = 0;
        bytes.resize(static_cast<size_t>(size.QuadPart));
        if (head && (!::ReadFile(file.Get(), bytes.data(), head, &read, nullptr) || read != head)) return false;
        if (head == 2 && (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0)) {
            UniqueFileHandle writable(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            return static_cast<bool>(writable);
        }
        DWORD rest = static_cast<DWORD>(bytes.size()) - head;
        if (rest && (!::ReadFile(file.Get(), bytes.data() + head, rest, &read, nullptr) || read != rest)) return false;
    }

    // An ANSI profile was written in the system code page; one marked UTF-8 is read as such.
    UINT codePage = CP_ACP;
    size_t skip = 0;
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) codePage = CP_UTF8, skip = 3;
    std::wstring text;
    if (bytes.size() > skip) {
        int chars = ::MultiByteToWideChar(codePage, 0, bytes.data() + skip, static_cast<int>(bytes.size() - skip),
                                          nullptr, 0);
        if (chars <= 0) return false;
        text.resize(chars);
        ::MultiByteToWideChar(codePage, 0, bytes.data() + skip, static_cast<int>(bytes.size() - skip), text.data(),
                              chars);
    }
    text.insert(text.begin(), L'\xFEFF');

    // Rewritten in place, so the file keeps its attributes and its place; the
    // Unicode text is longer than the old, so it covers all of it.
    DWORD disposition = bytes.empty() ? OPEN_ALWAYS : OPEN_EXISTING;
    UniqueFileHandle file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t)), written = 0;
    return ::WriteFile(file.Get(), text.data(), size, &written, nullptr) && written == size && ::SetEndOfFile(file.Get());
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

bool CAppBase::FileIdentity(const std::wstring& path, BY_HANDLE_FILE_INFORMATION* info) {
    // Backup semantics open folders too; no access is asked, so files in use open as well.
    UniqueFileHandle file(::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file && ::GetFileInformationByHandle(file.Get(), info);
}

BOOL CAppBase::FileExists(const std::wstring& path) {
    // Not a find: that would take a folder for a file, and a '?' in a name
    // (a character the system code page lacks) would match other files.
    if (path.find_first_of(L"*?") != std::wstring::npos) return FALSE;
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) ? TRUE : FALSE;
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
