#include "StagedFile.h"

#include <memory>
#include <vector>

namespace {

constexpr DWORD kCopyBuffer = 64 * 1024;

// Renames the open file to target (a full path) through its handle, so no
// other file can take its place between a check and the rename.
bool RenameByHandle(HANDLE file, const std::wstring& target, bool replace) {
    std::wstring nt = target.compare(0, 2, L"\\\\") == 0 ? L"\\??\\UNC\\" + target.substr(2) : L"\\??\\" + target;
    std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + nt.size() * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = replace ? TRUE : FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(nt.size() * sizeof(wchar_t));
    memcpy(info->FileName, nt.c_str(), nt.size() * sizeof(wchar_t));
    return ::SetFileInformationByHandle(file, FileRenameInfo, info, static_cast<DWORD>(buffer.size())) != FALSE;
}

bool DeleteByHandle(HANDLE file) {
    FILE_DISPOSITION_INFO info{TRUE};
    return ::SetFileInformationByHandle(file, FileDispositionInfo, &info, sizeof(info)) != FALSE;
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

bool CStagedFile::IsThisProgram(const std::wstring& path) {
    wchar_t self[MAX_PATH * 2] = {};
    DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
    return n > 0 && n < MAX_PATH * 2 && CUpdaterReplacement::SameFile(self, path);
}

bool CStagedFile::Create(const std::wstring& path, bool hash) {
    m_bHash = hash;
    m_file.Reset(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return bool(m_file);
}

bool CStagedFile::Write(const BYTE* data, size_t size) {
    DWORD written = 0;
    if (!::WriteFile(m_file.Get(), data, static_cast<DWORD>(size), &written, nullptr) || written != size) return false;
    return !m_bHash || m_hash.Update(data, size);
}

std::wstring CStagedFile::Hash() { return m_bHash ? m_hash.FinishHex() : std::wstring(); }

bool CStagedFile::Stage(HANDLE staged) {
    // Copied from the download's own open file, which nobody else can open:
    // the copy is the bytes that arrived (and were checked).
    LARGE_INTEGER zero{};
    if (!::SetFilePointerEx(m_file.Get(), zero, nullptr, FILE_BEGIN)) return false;
    std::unique_ptr<BYTE[]> buffer(new BYTE[kCopyBuffer]);
    for (;;) {
        DWORD got = 0, written = 0;
        if (!::ReadFile(m_file.Get(), buffer.get(), kCopyBuffer, &got, nullptr)) return false;
        if (got == 0) break;
        if (!::WriteFile(staged, buffer.get(), got, &written, nullptr) || written != got) return false;
    }
    // On disk before it takes the installed name: a crash leaves the old file or the whole new one.
    return ::FlushFileBuffers(staged) != FALSE;
}

bool CStagedFile::Install(const std::wstring& installed) {
    const std::wstring part = installed + kPartSuffix, ready = installed + kStagedSuffix;
    UniqueFileHandle staged(::CreateFileW(part.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!staged) return false;
    // Whole and flushed, it takes the name that tells a later run it can be used.
    if (!Stage(staged.Get()) || !RenameByHandle(staged.Get(), ready, true)) {
        DeleteByHandle(staged.Get());
        return false;
    }
    // Renaming the running updater aside would leave no start.exe should the run die before the
    // next rename; the launcher puts the waiting copy in place once this program has ended.
    if (IsThisProgram(installed)) return true;
    if (RenameByHandle(staged.Get(), installed, true)) return true;

    // A running program (a launcher still open, say) cannot be
    // replaced but can be renamed: move it aside and remove it later. Should
    // the run die between the two renames, the next run puts the staged copy
    // in place (or the old one back).
    std::wstring aside = installed + kMovedAsideSuffix;
    for (int n = 1; Exists(aside) && !::DeleteFileW(aside.c_str()); ++n)
        aside = installed + kMovedAsideSuffix + std::to_wstring(n);
    if (!::MoveFileExW(installed.c_str(), aside.c_str(), MOVEFILE_WRITE_THROUGH)) {
        DeleteByHandle(staged.Get());
        return false;
    }
    if (!RenameByHandle(staged.Get(), installed, false)) {
        ::MoveFileExW(aside.c_str(), installed.c_str(), MOVEFILE_WRITE_THROUGH);
        DeleteByHandle(staged.Get());
        return false;
    }
    staged.Reset();
    ::DeleteFileW(aside.c_str());
    return true;
}
