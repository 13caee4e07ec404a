#pragma once
// Game-server stand-ins on loopback at the probe's port 6112: one that accepts, one that refuses, one that never
// answers. Each test program takes its own addresses in 127/8; an address stays empty when none could be set up.
#include <winsock2.h>
#include <windows.h>

#include <string>
#include <vector>

namespace testing_support {

class StandInServers {
public:
    StandInServers();
    ~StandInServers();
    StandInServers(const StandInServers&) = delete;
    StandInServers& operator=(const StandInServers&) = delete;
    bool ok() const { return !m_accepting.empty() && !m_refused.empty() && !m_silent.empty(); }
    const std::wstring& Accepting() const { return m_accepting; }
    const std::wstring& Refused() const { return m_refused; }
    const std::wstring& Silent() const { return m_silent; }
    int Accepted();  // connections the accepting one completed so far

private:
    SOCKET m_listener = INVALID_SOCKET;  // the accepting one
    int m_accepted = 0;
    std::wstring m_accepting, m_refused, m_silent;
    std::vector<SOCKET> m_silentSockets;
};

}  // namespace testing_support
