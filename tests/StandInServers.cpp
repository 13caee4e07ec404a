#include "StandInServers.h"

namespace testing_support {
namespace {

// A nonblocking socket, with the address of ip at the probe's port.
SOCKET Socket(const std::wstring& ip, sockaddr_in* addr) {
    *addr = sockaddr_in{};
    addr->sin_family = AF_INET;
    addr->sin_port = htons(6112);
    addr->sin_addr.s_addr = inet_addr(std::string(ip.begin(), ip.end()).c_str());
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    u_long on = 1;
    ::ioctlsocket(s, FIONBIO, &on);
    return s;
}
SOCKET Connect(const std::wstring& ip) {
    sockaddr_in addr;
    SOCKET s = Socket(ip, &addr);
    ::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    return s;
}

// What a plain connect sees within waitMs: 1 accepted, -1 refused, 0 nothing.
int Outcome(const std::wstring& ip, DWORD waitMs) {
    SOCKET s = Connect(ip);
    fd_set writable{1, {s}}, failed{1, {s}};
    timeval tv{static_cast<long>(waitMs / 1000), static_cast<long>(waitMs % 1000) * 1000};
    int n = ::select(0, nullptr, &writable, &failed, &tv);
    ::closesocket(s);
    return n <= 0 ? 0 : FD_ISSET(s, &writable) ? 1 : -1;
}

// The kernel completes connections into the accept queue without an accept();
// once the queue is full it leaves further attempts unanswered.
SOCKET Listen(const std::wstring& ip, int backlog) {
    sockaddr_in addr;
    SOCKET s = Socket(ip, &addr);
    if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 && ::listen(s, backlog) == 0) return s;
    ::closesocket(s);
    return INVALID_SOCKET;
}

// 127.b.c.last: other benches, and the closed connections of a program run a
// moment ago, hold addresses of their own, so each process starts elsewhere.
std::wstring NextIp(DWORD& seed, int last) {
    seed = seed * 1103515245u + 12345u;
    return L"127." + std::to_wstring(1 + (seed >> 8) % 250) + L"." + std::to_wstring(1 + (seed >> 16) % 250) + L"." +
           std::to_wstring(last);
}

}  // namespace

StandInServers::StandInServers() {
    DWORD seed = ::GetCurrentProcessId() * 2654435761u + ::GetTickCount();
    for (int i = 0; i < 6 && m_accepting.empty(); ++i) {
        std::wstring ip = NextIp(seed, 1);
        if ((m_listener = Listen(ip, SOMAXCONN)) != INVALID_SOCKET) m_accepting = ip;
    }
    m_refused = NextIp(seed, 2);  // nothing listens there
    // Silent: a listener whose one-place queue is full, not answering even after the probe's wait.
    for (int i = 0; i < 6 && m_silent.empty(); ++i) {
        for (SOCKET s : m_silentSockets) ::closesocket(s);  // of a failed attempt
        m_silentSockets.clear();
        std::wstring ip = NextIp(seed, 3);
        SOCKET listener = Listen(ip, 0);
        if (listener == INVALID_SOCKET) continue;
        m_silentSockets = {listener, Connect(ip), Connect(ip), Connect(ip)};
        ::Sleep(100);
        if (Outcome(ip, 1500) == 0) m_silent = ip;
    }
}

StandInServers::~StandInServers() {
    if (m_listener != INVALID_SOCKET) ::closesocket(m_listener);
    for (SOCKET s : m_silentSockets) ::closesocket(s);
}

int StandInServers::Accepted() {
    for (SOCKET c; (c = ::accept(m_listener, nullptr, nullptr)) != INVALID_SOCKET; ++m_accepted) ::closesocket(c);
    return m_accepted;
}

}  // namespace testing_support
