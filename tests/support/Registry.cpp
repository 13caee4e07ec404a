#include "Registry.h"

#include <aclapi.h>

#include "Files.h"

#include "UniqueHandle.h"

namespace testing_support {

namespace {
const wchar_t kInternetSettings[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
}  // namespace

bool SetRegistryString(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value,
                       DWORD type, REGSAM view) {
    HKEY h;
    if (::RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &h, nullptr) != ERROR_SUCCESS)
        return false;
    UniqueRegKey owner(h);
    return ::RegSetValueExW(h, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

void DeleteRegistryTree(HKEY root, const std::wstring& key, REGSAM view) {
    HKEY h;
    if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_ALL_ACCESS | view, &h) != ERROR_SUCCESS) return;
    ::RegDeleteTreeW(h, nullptr);
    ::RegCloseKey(h);
    ::RegDeleteKeyExW(root, key.c_str(), view, 0);
}

bool RegistryString(HKEY root, const std::wstring& key, const wchar_t* name, std::wstring* value, DWORD* type,
                    DWORD* bytes, REGSAM view) {
    HKEY h;
    if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &h) != ERROR_SUCCESS) return false;
    UniqueRegKey owner(h);
    wchar_t buffer[1024] = {};
    DWORD t = 0, n = sizeof(buffer) - sizeof(wchar_t);
    if (::RegQueryValueExW(h, name, nullptr, &t, reinterpret_cast<BYTE*>(buffer), &n) != ERROR_SUCCESS) return false;
    if (type) *type = t;
    if (bytes) *bytes = n;
    *value = buffer;
    return t == REG_SZ;
}

bool RegistryKeyExists(HKEY root, const std::wstring& key, REGSAM view) {
    HKEY h;
    if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &h) != ERROR_SUCCESS) return false;
    UniqueRegKey owner(h);
    return true;
}

bool SetRegistryBytes(HKEY root, const std::wstring& key, const wchar_t* name, const std::string& bytes, DWORD type,
                      REGSAM view) {
    HKEY h;
    if (::RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &h, nullptr) != ERROR_SUCCESS)
        return false;
    UniqueRegKey owner(h);
    return ::RegSetValueExW(h, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                            static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
}

bool RegistryBytes(HKEY root, const std::wstring& key, const wchar_t* name, std::string* bytes, DWORD* type,
                   REGSAM view) {
    HKEY h;
    if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &h) != ERROR_SUCCESS) return false;
    UniqueRegKey owner(h);
    DWORD n = 0;
    if (::RegQueryValueExW(h, name, nullptr, type, nullptr, &n) != ERROR_SUCCESS) return false;
    bytes->assign(n, '\0');
    return ::RegQueryValueExW(h, name, nullptr, type, reinterpret_cast<BYTE*>(bytes->data()), &n) == ERROR_SUCCESS;
}

std::string MultiString(const std::vector<std::wstring>& strings) {
    std::wstring text;
    for (const auto& s : strings) text += s + L'\0';
    text += L'\0';
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

std::string ShowMultiString(const std::string& bytes) {
    std::wstring text(bytes.size() / 2, L'\0');
    bytes.copy(reinterpret_cast<char*>(text.data()), text.size() * 2);
    for (wchar_t& c : text)
        if (!c) c = L'|';
    return ToUtf8(text) + (bytes.size() % 2 ? "+1" : "");
}

KeyWriteDenied::KeyWriteDenied(HKEY root, const std::wstring& key) : m_root(root), m_key(key) {
    HKEY h;
    if (::RegOpenKeyExW(root, key.c_str(), 0, READ_CONTROL | WRITE_DAC, &h) != ERROR_SUCCESS) return;
    UniqueRegKey owner(h);
    DWORD n = 0;
    ::RegGetKeySecurity(h, DACL_SECURITY_INFORMATION, nullptr, &n);
    m_old.resize(n);
    if (!n || ::RegGetKeySecurity(h, DACL_SECURITY_INFORMATION, m_old.data(), &n) != ERROR_SUCCESS) return;
    // Everyone may read; nobody may set a value or make a subkey.
    EXPLICIT_ACCESSW rules[2] = {};
    ::BuildExplicitAccessWithNameW(&rules[0], const_cast<wchar_t*>(L"EVERYONE"), KEY_SET_VALUE | KEY_CREATE_SUB_KEY,
                                   DENY_ACCESS, NO_INHERITANCE);
    ::BuildExplicitAccessWithNameW(&rules[1], const_cast<wchar_t*>(L"EVERYONE"), KEY_READ, GRANT_ACCESS,
                                   NO_INHERITANCE);
    PACL acl = nullptr;
    if (::SetEntriesInAclW(2, rules, nullptr, &acl) != ERROR_SUCCESS) return;
    m_ok = ::SetSecurityInfo(h, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                             nullptr, nullptr, acl, nullptr) == ERROR_SUCCESS;
    ::LocalFree(acl);
}

KeyWriteDenied::~KeyWriteDenied() {
    HKEY h;
    if (m_old.empty() || ::RegOpenKeyExW(m_root, m_key.c_str(), 0, WRITE_DAC, &h) != ERROR_SUCCESS) return;
    ::RegSetKeySecurity(h, DACL_SECURITY_INFORMATION, m_old.data());
    ::RegCloseKey(h);
}

ProxySetting::ProxySetting(int port) {
    DWORD enable = 1;
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kInternetSettings, L"ProxyEnable", REG_DWORD, &enable, sizeof(enable));
    SetRegistryString(HKEY_CURRENT_USER, kInternetSettings, L"ProxyServer", L"127.0.0.1:" + std::to_wstring(port));
}

void ProxySetting::TurnOff() {
    DWORD enable = 0;
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kInternetSettings, L"ProxyEnable", REG_DWORD, &enable, sizeof(enable));
}

DllOverride::DllOverride(const std::wstring& exe, const wchar_t* dll, const std::wstring& value)
    : m_key(L"Software\\Wine\\AppDefaults\\" + exe + L"\\DllOverrides"), m_dll(dll) {
    SetRegistryString(HKEY_CURRENT_USER, m_key, dll, value);
}

}  // namespace testing_support
