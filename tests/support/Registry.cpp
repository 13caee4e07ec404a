#include "Registry.h"

#include <sddl.h>

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

bool RegistryBytes(HKEY root, const std::wstring& key, const wchar_t* name, std::string* bytes, DWORD* type) {
    HKEY h;
    if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    UniqueRegKey owner(h);
    DWORD n = 0;
    if (::RegQueryValueExW(h, name, nullptr, type, nullptr, &n) != ERROR_SUCCESS) return false;
    bytes->assign(n, '\0');
    return ::RegQueryValueExW(h, name, nullptr, type, reinterpret_cast<BYTE*>(bytes->data()), &n) == ERROR_SUCCESS;
}

std::string MultiString(const std::wstring& joined) {
    std::wstring text = joined + L'\0' + L'\0';
    for (wchar_t& c : text)
        if (c == L'|') c = L'\0';
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

KeyWriteDenied::KeyWriteDenied(HKEY root, const std::wstring& key) {
    if (::RegOpenKeyExW(root, key.c_str(), 0, READ_CONTROL | WRITE_DAC, &m_key) != ERROR_SUCCESS) return;
    DWORD n = 0;
    ::RegGetKeySecurity(m_key, DACL_SECURITY_INFORMATION, nullptr, &n);
    m_old.assign(n, '\0');
    PSECURITY_DESCRIPTOR readOnly = nullptr;
    m_ok = ::RegGetKeySecurity(m_key, DACL_SECURITY_INFORMATION, m_old.data(), &n) == ERROR_SUCCESS &&
           ::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KR;;;WD)", SDDL_REVISION_1, &readOnly,
                                                                 nullptr) &&
           ::RegSetKeySecurity(m_key, DACL_SECURITY_INFORMATION, readOnly) == ERROR_SUCCESS;
    ::LocalFree(readOnly);
}

KeyWriteDenied::~KeyWriteDenied() {
    if (m_ok) ::RegSetKeySecurity(m_key, DACL_SECURITY_INFORMATION, m_old.data());
    if (m_key) ::RegCloseKey(m_key);
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
