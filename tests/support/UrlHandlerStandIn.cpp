#include "UrlHandlerStandIn.h"

#include "Registry.h"

namespace testing_support {

namespace {
const wchar_t kHttpOpen[] = L"http\\shell\\open\\command";
}

UrlHandlerStandIn::UrlHandlerStandIn(const std::wstring& exe) : m_exe(exe) {
    m_had = RegistryString(HKEY_CLASSES_ROOT, kHttpOpen, nullptr, &m_old);
    SetRegistryString(HKEY_CLASSES_ROOT, kHttpOpen, nullptr, L"\"" + exe + L"\" \"%1\"");
    ::DeleteFileW((exe + L".log").c_str());
}

UrlHandlerStandIn::~UrlHandlerStandIn() {
    if (m_had) SetRegistryString(HKEY_CLASSES_ROOT, kHttpOpen, nullptr, m_old);
    ::DeleteFileW((m_exe + L".log").c_str());
}

}  // namespace testing_support
