#pragma once
#include <windows.h>

#include <string>

namespace testing_support {

// Makes a stand-in program (it records its command line in "<exe>.log", read by
// StandInLog) the handler of http: links while it lives; restores the previous one.
class UrlHandlerStandIn {
public:
    explicit UrlHandlerStandIn(const std::wstring& exe);
    ~UrlHandlerStandIn();
    UrlHandlerStandIn(const UrlHandlerStandIn&) = delete;
    UrlHandlerStandIn& operator=(const UrlHandlerStandIn&) = delete;

private:
    std::wstring m_exe, m_old;
    bool m_had = false;
};

}  // namespace testing_support
