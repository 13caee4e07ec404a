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
    int Accepted() { return AcceptedAt(m_accepting); }  // connections the accepting one completed so far
    // One more accepting stand-in at a given address; false when it cannot listen there.
    bool AcceptAt(const std::wstring& ip);
    int AcceptedAt(const std::wstring& ip);  // connections completed there so far

private:
    struct Extra {
        std::wstring ip;
        SOCKET listener;
        int accepted;
    };
    std::vector<Extra> m_extra;  // the accepting ones
    std::wstring m_accepting, m_refused, m_silent;
    std::vector<SOCKET> m_silentSockets;
};

}  // namespace testing_support
