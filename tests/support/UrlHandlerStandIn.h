#pragma once
#include <windows.h>

#include <string>

namespace testing_support {

// Makes a stand-in program (it records its command line in "<exe>.log") the
// handler of http: links while it lives; restores the previous handler.
class UrlHandlerStandIn {
public:
    explicit UrlHandlerStandIn(const std::wstring& exe);
    ~UrlHandlerStandIn();
    UrlHandlerStandIn(const UrlHandlerStandIn&) = delete;
    UrlHandlerStandIn& operator=(const UrlHandlerStandIn&) = delete;
    // The arguments the handler was started with, or empty after waitMs.
    std::wstring Arguments(DWORD waitMs);

private:
    std::wstring m_exe, m_old;
    bool m_had = false;
};

}  // namespace testing_support
