#include "Processes.h"

#include <psapi.h>
#include <tlhelp32.h>

#include "Input.h"
#include "UniqueHandle.h"

namespace testing_support {

Process::~Process() {
    if (!process) return;
    if (::WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(process, 1);
        ::WaitForSingleObject(process, 5000);
    }
    ::CloseHandle(process);
}

DWORD Process::Wait(DWORD timeoutMs) {
    DWORD code = STILL_ACTIVE;
    if (::WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0) ::GetExitCodeProcess(process, &code);
    return code;
}

SIZE_T Process::PeakWorkingSet() const {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    if (!::GetProcessMemoryInfo(process, &counters, sizeof(counters))) return 0;
    return counters.PeakWorkingSetSize;
}

bool StartProcess(const std::wstring& exe, const std::wstring& args, const std::wstring& workDir, Process* out) {
    std::wstring cmd = L"\"" + exe + L"\"" + (args.empty() ? L"" : L" " + args);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          workDir.empty() ? nullptr : workDir.c_str(), &si, &pi))
        return false;
    ::CloseHandle(pi.hThread);
    out->process = pi.hProcess;
    out->pid = pi.dwProcessId;
    return true;
}

namespace {

bool HasChild(DWORD pid) {
    UniqueKernelHandle snap(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snap.Get(), &entry); more; more = ::Process32NextW(snap.Get(), &entry))
        if (entry.th32ParentProcessID == pid) return true;
    return false;
}

}  // namespace

DWORD RunToEnd(const std::wstring& exe, const std::wstring& args) {
    Process process;
    DWORD rc = StartProcess(exe, args, L"", &process) ? process.Wait(120000) : ~0u;
    PumpUntil([&] { return !HasChild(process.pid); }, 120000);
    return rc;
}

bool ModuleLoaded(DWORD pid, const std::wstring& name) {
    // A snapshot taken while the process loads a module may fail with ERROR_BAD_LENGTH: take another.
    for (int attempt = 0; attempt < 10; ++attempt) {
        UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, pid));
        if (!snapshot && ::GetLastError() == ERROR_BAD_LENGTH) continue;
        MODULEENTRY32W module{};
        module.dwSize = sizeof(module);
        for (BOOL more = snapshot && ::Module32FirstW(snapshot.Get(), &module); more;
             more = ::Module32NextW(snapshot.Get(), &module))
            if (_wcsicmp(module.szModule, name.c_str()) == 0) return true;
        return false;
    }
    return false;
}

}  // namespace testing_support
