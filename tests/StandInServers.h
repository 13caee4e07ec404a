#pragma once
// Game-server stand-ins on loopback at the probe's port 6112: one address that
// accepts (and counts the connections), one that refuses, one that never
// answers. Another bench on this host may hold an address, so each kind tries
// a few; an address stays empty when none could be set up.
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
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
    int Accepted() const { return m_accepted; }  // connections the accepting one took

private:
    std::wstring m_accepting, m_refused, m_silent;
    SOCKET m_acceptListener = INVALID_SOCKET, m_silentListener = INVALID_SOCKET;
    std::vector<SOCKET> m_fillers;  // connections to the silent one that are never accepted
    std::thread m_acceptor;
    std::atomic<int> m_accepted{0};
    std::atomic<bool> m_stop{false};
};

}  // namespace testing_support
