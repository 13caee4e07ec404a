#pragma once
// Child processes.
#include <windows.h>

#include <string>

namespace testing_support {

// A child that ends with the scope: one still running then is terminated, also when an assertion ends it early.
struct Process {
    HANDLE process = nullptr;
    DWORD pid = 0;
    Process() = default;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process();
    DWORD Wait(DWORD timeoutMs);  // exit code, or STILL_ACTIVE on time-out
    // The largest working set the process has had so far, in bytes; 0 when it cannot be read.
    SIZE_T PeakWorkingSet() const;
};
bool StartProcess(const std::wstring& exe, const std::wstring& args, const std::wstring& workDir, Process* out);
// Runs a program until it and the programs it started have ended (an uninstaller
// hands over to a copy of itself); its exit code, ~0 when it did not start.
DWORD RunToEnd(const std::wstring& exe, const std::wstring& args);
// True when process pid has a module of that name ("msvfw32.dll") loaded.
bool ModuleLoaded(DWORD pid, const std::wstring& name);


}  // namespace testing_support
