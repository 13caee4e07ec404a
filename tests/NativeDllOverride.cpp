#include "NativeDllOverride.h"

#include <tlhelp32.h>

#include "TestSupport.h"
#include "UniqueHandle.h"

namespace testing_support {

NativeDllOverride::NativeDllOverride(const std::wstring& exe, const std::vector<std::wstring>& dlls)
    : m_strKey(L"Software\\Wine\\AppDefaults\\" + exe + L"\\DllOverrides"), m_dlls(dlls) {
    for (const auto& dll : m_dlls) SetRegistryString(HKEY_CURRENT_USER, m_strKey, dll.c_str(), L"native,builtin");
}

NativeDllOverride::~NativeDllOverride() {
    for (const auto& dll : m_dlls) ::RegDeleteKeyValueW(HKEY_CURRENT_USER, m_strKey.c_str(), dll.c_str());
}

bool ModuleLoaded(DWORD pid, const std::wstring& name) {
    // A snapshot taken while the process loads a module may fail with ERROR_BAD_LENGTH: take
    // another. (A failed snapshot is INVALID_HANDLE_VALUE, as with files.)
    for (int attempt = 0; attempt < 10; ++attempt) {
        UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, pid));
        if (!snapshot) {
            if (::GetLastError() == ERROR_BAD_LENGTH) continue;
            return false;
        }
        MODULEENTRY32W module{};
        module.dwSize = sizeof(module);
        for (BOOL more = ::Module32FirstW(snapshot.Get(), &module); more; more = ::Module32NextW(snapshot.Get(), &module))
            if (_wcsicmp(module.szModule, name.c_str()) == 0) return true;
        return false;
    }
    return false;
}

}  // namespace testing_support
