#pragma once
// The registry of the prefix. The games are 32-bit and see HKLM through WOW64: their keys are read and
// written in that view (kGamesView), which a 64-bit test program must ask for and a 32-bit one gets anyway.
#include <windows.h>

#include <string>

namespace testing_support {

constexpr REGSAM kGamesView = KEY_WOW64_32KEY;

bool SetRegistryString(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value,
                       DWORD type = REG_SZ, REGSAM view = 0);
void DeleteRegistryTree(HKEY root, const std::wstring& key, REGSAM view = 0);
// The REG_SZ value, or false; *type and *bytes, when given, report what is stored.
bool RegistryString(HKEY root, const std::wstring& key, const wchar_t* name, std::wstring* value,
                    DWORD* type = nullptr, DWORD* bytes = nullptr, REGSAM view = 0);
bool RegistryKeyExists(HKEY root, const std::wstring& key, REGSAM view = 0);
// A value of any type as raw bytes, or false when it is absent.
bool RegistryBytes(HKEY root, const std::wstring& key, const wchar_t* name, std::string* bytes, DWORD* type);
// The bytes of a REG_MULTI_SZ holding the strings that '|' separates, its closing empty string included.
std::string MultiString(const std::wstring& joined);

// Everyone may only read an existing key for the scope; its owner may still change that.
class KeyWriteDenied {
public:
    KeyWriteDenied(HKEY root, const std::wstring& key);
    ~KeyWriteDenied();
    KeyWriteDenied(const KeyWriteDenied&) = delete;
    KeyWriteDenied& operator=(const KeyWriteDenied&) = delete;
    bool ok() const { return m_ok; }

private:
    HKEY m_key = nullptr;
    std::string m_old;  // the key's access list as it was
    bool m_ok = false;
};

// The user's proxy setting, on at 127.0.0.1:port for the scope; a process reads it at its first request.
class ProxySetting {
public:
    explicit ProxySetting(int port);
    ~ProxySetting() { TurnOff(); }
    static void TurnOff();
};

// Wine's DLL override for one program ("start.exe"), for the scope: "native,builtin" prefers a copy beside the
// program to Wine's own, "" disables the DLL. A program started by a Wine process does not take WINEDLLOVERRIDES
// from its Windows environment, so the registry it is.
class DllOverride {
public:
    DllOverride(const std::wstring& exe, const wchar_t* dll, const std::wstring& value);
    ~DllOverride() { ::RegDeleteKeyValueW(HKEY_CURRENT_USER, m_key.c_str(), m_dll.c_str()); }
    DllOverride(const DllOverride&) = delete;
    DllOverride& operator=(const DllOverride&) = delete;

private:
    std::wstring m_key, m_dll;
};

}  // namespace testing_support
