#include "Files.h"

#include <shellapi.h>

#include "CodePage.h"
#include "Input.h"
#include "Processes.h"
#include "UniqueHandle.h"

namespace testing_support {

std::wstring MakeTempFolder(const std::wstring& prefix) {
    wchar_t base[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, base);
    for (unsigned n = ::GetTickCount();; ++n) {
        std::wstring folder = std::wstring(base) + prefix + std::to_wstring(n) + L"\\";
        if (::CreateDirectoryW(folder.c_str(), nullptr)) return folder;
    }
}

void RemoveFolder(const std::wstring& folder) {
    std::wstring from = folder;
    if (!from.empty() && from.back() == L'\\') from.pop_back();
    from.push_back(L'\0');
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    ::SHFileOperationW(&op);
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.Get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

bool ReadFileBytes(const std::wstring& path, std::string* bytes) {
    UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return false;
    DWORD size = ::GetFileSize(file.Get(), nullptr), read = 0;
    bytes->assign(size, '\0');
    return ::ReadFile(file.Get(), bytes->data(), size, &read, nullptr) && read == size;
}

bool CopyFileTo(const std::wstring& from, const std::wstring& to) { return ::CopyFileW(from.c_str(), to.c_str(), FALSE); }

std::set<std::wstring> FilesIn(const std::wstring& folder) {
    std::set<std::wstring> names;
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(::FindFirstFileW((folder + L"*").c_str(), &data));
    for (bool more = bool(find); more; more = ::FindNextFileW(find.Get(), &data))
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.insert(data.cFileName);
    return names;
}

std::wstring TestFolder() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring s = path;
    return s.substr(0, s.rfind(L'\\') + 1);
}

std::wstring DistFolder() {
    // The build passes a Unix path; Wine maps it through drive Z:.
    std::wstring unix = ORVN_DIST_DIR;
    std::wstring win = L"Z:" + unix;
    for (auto& c : win)
        if (c == L'/') c = L'\\';
    if (win.back() != L'\\') win.push_back(L'\\');
    return win;
}

std::wstring UnixPath(const std::wstring& windowsPath) {
    using Fn = char*(CDECL*)(LPCWSTR);
    auto fn = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* unix = fn ? fn(windowsPath.c_str()) : nullptr;
    if (!unix) return std::wstring();
    std::wstring result = CodePage::ToWide(unix, CP_UTF8);
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return result;
}

DriveLetter::DriveLetter(const std::wstring& folder) {
    wchar_t prefix[MAX_PATH] = {};
    std::wstring target = UnixPath(folder);
    if (!::GetEnvironmentVariableW(L"WINEPREFIX", prefix, MAX_PATH) || target.empty()) return;
    // A host program gives Wine no handle to wait on: the drive's coming and going is watched instead.
    for (wchar_t letter = L'y'; letter > L'd'; --letter) {
        std::wstring link = std::wstring(prefix) + L"/dosdevices/" + letter + L":";
        std::wstring drive = std::wstring(1, letter) + L":\\";
        if (::GetFileAttributesW((L"Z:" + link).c_str()) != INVALID_FILE_ATTRIBUTES ||
            ::GetDriveTypeW(drive.c_str()) != DRIVE_NO_ROOT_DIR)
            continue;
        Process ln;
        if (!StartProcess(L"Z:\\bin\\ln", L"-s \"" + target + L"\" \"" + link + L"\"", L"", &ln)) return;
        if (PumpUntil([&] { return ::GetFileAttributesW(drive.c_str()) != INVALID_FILE_ATTRIBUTES; }, 20000)) {
            m_letter = static_cast<wchar_t>(::towupper(letter));
            m_link = link;
        }
        return;
    }
}

DriveLetter::~DriveLetter() {
    if (!m_letter) return;
    Process rm;
    std::wstring drive = Path();
    if (StartProcess(L"Z:\\bin\\rm", L"-f \"" + m_link + L"\"", L"", &rm))
        PumpUntil([&] { return ::GetFileAttributesW(drive.c_str()) == INVALID_FILE_ATTRIBUTES; }, 20000);
}

std::string ToCp949(const std::wstring& text) { return CodePage::FromWide(text); }

std::string ToUtf8(const std::wstring& text) { return CodePage::FromWide(text, CP_UTF8); }

bool WriteListFile(const std::wstring& path, const ServerList& servers) {
    std::string bytes;
    for (const auto& s : servers) bytes += ToCp949(s.first + L"," + s.second + L"\r\n");
    return WriteFileBytes(path, bytes);
}

std::wstring StandInLog(const std::wstring& exe, DWORD waitMs) {
    std::string bytes;
    PumpUntil([&] { return ReadFileBytes(exe + L".log", &bytes) && !bytes.empty(); }, waitMs);
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}

}  // namespace testing_support
