#pragma once
// Planted DLLs under Wine. Wine prefers its own builtin copy of a system DLL to
// one beside a program; to see whether a program would load a DLL planted
// beside it, Wine is told to prefer a native copy of that DLL for that program
// alone (HKCU\Software\Wine\AppDefaults\<exe>\DllOverrides) for the scope. A
// program started by a Wine process does not take WINEDLLOVERRIDES from its
// Windows environment, so the registry it is.
#include <windows.h>

#include <string>
#include <vector>

namespace testing_support {

class NativeDllOverride {
public:
    // exe: the program's file name ("start.exe"); dlls: names without ".dll".
    NativeDllOverride(const std::wstring& exe, const std::vector<std::wstring>& dlls);
    ~NativeDllOverride();
    NativeDllOverride(const NativeDllOverride&) = delete;
    NativeDllOverride& operator=(const NativeDllOverride&) = delete;

private:
    std::wstring m_strKey;
    std::vector<std::wstring> m_dlls;
};

// True when process pid has a module of that name ("msvfw32.dll") loaded; under
// Wine its builtin copy may be listed under a path beside the program.
bool ModuleLoaded(DWORD pid, const std::wstring& name);

}  // namespace testing_support
