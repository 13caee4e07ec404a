#include "StandInServers.h"

#include <cstdio>
#include <string>

namespace testing_support {

namespace {

constexpr u_short kPort = 6112;

sockaddr_in Address(const char* ip) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(kPort);
    addr.sin_addr.s_addr = inet_addr(ip);
    return addr;
}

SOCKET ConnectNonBlocking(const char* ip) {
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    u_long on = 1;
    ::ioctlsocket(s, FIONBIO, &on);
    sockaddr_in addr = Address(ip);
    ::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    return s;
}

enum class Outcome { Connected, Refused, NoAnswer };

// What a plain connect to ip:6112 sees within waitMs.
Outcome ConnectOutcome(const char* ip, DWORD waitMs) {
    SOCKET s = ConnectNonBlocking(ip);
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval tv{static_cast<long>(waitMs / 1000), static_cast<long>(waitMs % 1000) * 1000};
    int n = ::select(0, nullptr, &writable, &failed, &tv);
    Outcome outcome = n <= 0 ? Outcome::NoAnswer : FD_ISSET(s, &writable) ? Outcome::Connected : Outcome::Refused;
    ::closesocket(s);
    return outcome;
}

SOCKET ListenOn(const char* ip, int backlog) {
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr = Address(ip);
    if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || ::listen(s, backlog) != 0) {
        ::closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// Loopback addresses 127.b.c.last. Other benches on this host, and the closed
// connections a test program of a moment ago leaves behind, hold addresses of
// their own, so each process starts from its own place in 127/8.
std::vector<std::string> Candidates(int last) {
    std::vector<std::string> out;
    DWORD seed = ::GetCurrentProcessId() * 2654435761u + ::GetTickCount();
    for (int i = 0; i < 6; ++i, seed = seed * 1103515245u + 12345u)
        out.push_back("127." + std::to_string(1 + (seed >> 8) % 250) + "." + std::to_string(1 + (seed >> 16) % 250) +
                      "." + std::to_string(last));
    return out;
}

}  // namespace

StandInServers::StandInServers() {
    for (const std::string& ip : Candidates(1)) {
        if ((m_acceptListener = ListenOn(ip.c_str(), 64)) == INVALID_SOCKET) continue;
        m_accepting = Wide(ip);
        m_acceptor = std::thread([this] {
            while (!m_stop) {
                fd_set r;
                FD_ZERO(&r);
                FD_SET(m_acceptListener, &r);
                timeval tv{0, 50000};
                int ready = ::select(0, &r, nullptr, nullptr, &tv);
                if (ready < 0) ::Sleep(50);  // sockets already cleaned up at the program's end
                if (ready != 1) continue;
                SOCKET c = ::accept(m_acceptListener, nullptr, nullptr);
                if (c == INVALID_SOCKET) continue;
                ++m_accepted;
                ::closesocket(c);
            }
        });
        break;
    }
    for (const std::string& ip : Candidates(2)) {
        if (ConnectOutcome(ip.c_str(), 2000) != Outcome::Refused) continue;
        m_refused = Wide(ip);
        break;
    }
    // Silent: a listener whose accept queue is full, so the kernel drops further SYNs.
    for (const std::string& ip : Candidates(3)) {
        SOCKET l = ListenOn(ip.c_str(), 0);
        if (l == INVALID_SOCKET) continue;
        for (int i = 0; i < 3; ++i) m_fillers.push_back(ConnectNonBlocking(ip.c_str()));
        ::Sleep(100);
        // No answer at all, not even after the probe's wait.
        if (ConnectOutcome(ip.c_str(), 1500) == Outcome::NoAnswer) {
            m_silentListener = l;
            m_silent = Wide(ip);
            break;
        }
        for (SOCKET c : m_fillers) ::closesocket(c);
        m_fillers.clear();
        ::closesocket(l);
    }
    std::printf("stand-ins: accepting %ls, refused %ls, silent %ls\n", m_accepting.c_str(), m_refused.c_str(),
                m_silent.c_str());
}

StandInServers::~StandInServers() {
    m_stop = true;
    if (m_acceptor.joinable()) m_acceptor.join();
    for (SOCKET c : m_fillers) ::closesocket(c);
    if (m_acceptListener != INVALID_SOCKET) ::closesocket(m_acceptListener);
    if (m_silentListener != INVALID_SOCKET) ::closesocket(m_silentListener);
}

}  // namespace testing_support
