#pragma once
// The registry as the 32-bit programs see it (HKLM goes through WOW64).
#include <windows.h>

#include <string>

namespace testing_support {

bool SetRegistryString(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value,
                       DWORD type = REG_SZ);
// The REG_SZ value, or false; *type and *bytes, when given, report what is stored.
bool RegistryString(HKEY root, const std::wstring& key, const wchar_t* name, std::wstring* value,
                    DWORD* type = nullptr, DWORD* bytes = nullptr, REGSAM view = 0);
bool RegistryKeyExists(HKEY root, const std::wstring& key, REGSAM view = 0);

}  // namespace testing_support
