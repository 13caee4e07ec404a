#include "UpdaterReplacement.h"

#include <tlhelp32.h>

#include "AppBase.h"
#include "UniqueHandle.h"

namespace {

// The updater closes its window right after starting the launcher.
constexpr DWORD kUpdaterEndMs = 30000;
// The system may hold the ended updater's program a moment longer.
constexpr int kRenameTries = 20;
constexpr DWORD kRenameRetryMs = 100;

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

DWORD ParentProcessId() {
    // INVALID_HANDLE_VALUE on failure, as a file's.
    UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    const DWORD self = ::GetCurrentProcessId();
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more; more = ::Process32NextW(snapshot.Get(), &entry))
        if (entry.th32ProcessID == self) return entry.th32ParentProcessID;
    return 0;
}

}  // namespace

bool CUpdaterReplacement::SameFile(const std::wstring& a, const std::wstring& b) {
    BY_HANDLE_FILE_INFORMATION x{}, y{};
    return CAppBase::FileIdentity(a, &x) && CAppBase::FileIdentity(b, &y) &&
           x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
           x.nFileIndexLow == y.nFileIndexLow;
}

void CUpdaterReplacement::WaitForParentUpdater(const std::wstring& updater) {
    DWORD parent = ParentProcessId();
    if (parent == 0) return;
    UniqueKernelHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, parent));
    if (!process) return;
    wchar_t image[MAX_PATH * 2] = {};
    DWORD size = MAX_PATH * 2;
    // Started from a shell, say: nothing to wait for.
    if (!::QueryFullProcessImageNameW(process.Get(), 0, image, &size) || !SameFile(image, updater)) return;
    ::WaitForSingleObject(process.Get(), kUpdaterEndMs);
}

bool CUpdaterReplacement::Finish(const std::wstring& folder) {
    const std::wstring updater = folder + kUpdaterName, waiting = updater + kWaitingSuffix;
    if (Exists(waiting)) {
        WaitForParentUpdater(updater);
        // One rename: start.exe is the old program or the new one, never missing.
        for (int tries = 0; tries < kRenameTries; ++tries) {
            if (::MoveFileExW(waiting.c_str(), updater.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
                return true;
            DWORD error = ::GetLastError();
            // Another updater runs from start.exe: its launcher finishes the job.
            if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) break;
            ::Sleep(kRenameRetryMs);
        }
    }
    if (Exists(updater)) return !Exists(waiting);
    // An older updater was killed with its program moved aside and no new one whole: put it back.
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(::FindFirstFileW((updater + kMovedAsideSuffix + L"*").c_str(), &data));
    return find && ::MoveFileExW((folder + data.cFileName).c_str(), updater.c_str(), MOVEFILE_WRITE_THROUGH);
}
