#pragma once
// Game-server stand-ins on loopback for the length of a test.
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

inline sockaddr_in LoopbackAddress(const char* ip) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(6112);
    addr.sin_addr.s_addr = inet_addr(ip);
    return addr;
}

// Accepts connections on 127.0.0.1:6112 (the kernel completes them; nothing is read).
class AcceptingServer {
public:
    AcceptingServer() {
        m_socket = ::socket(AF_INET, SOCK_STREAM, 0);
        BOOL yes = TRUE;
        ::setsockopt(m_socket, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&yes), sizeof(yes));
        sockaddr_in addr = LoopbackAddress("127.0.0.1");
        m_ok = ::bind(m_socket, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 && ::listen(m_socket, 64) == 0;
    }
    ~AcceptingServer() { ::closesocket(m_socket); }
    AcceptingServer(const AcceptingServer&) = delete;
    AcceptingServer& operator=(const AcceptingServer&) = delete;
    bool ok() const { return m_ok; }

private:
    SOCKET m_socket = INVALID_SOCKET;
    bool m_ok = false;
};

// Never answers: a listener on 127.0.0.3:6112 whose accept queue is full, so
// the kernel drops further SYNs.
class SilentServer {
public:
    SilentServer() {
        sockaddr_in addr = LoopbackAddress("127.0.0.3");
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        if (::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || ::listen(m_listen, 0) != 0) return;
        m_filler = ::socket(AF_INET, SOCK_STREAM, 0);
        m_ok = ::connect(m_filler, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
    }
    ~SilentServer() {
        ::closesocket(m_filler);
        ::closesocket(m_listen);
    }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;
    bool ok() const { return m_ok; }

private:
    SOCKET m_listen = INVALID_SOCKET, m_filler = INVALID_SOCKET;
    bool m_ok = false;
};

enum class ConnectOutcome { Connected, Refused, NoAnswer };

// What a plain non-blocking connect to address:6112 sees within waitMs.
inline ConnectOutcome TryConnect(const char* address, DWORD waitMs) {
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    u_long on = 1;
    ::ioctlsocket(s, FIONBIO, &on);
    sockaddr_in addr = LoopbackAddress(address);
    ::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval tv{static_cast<long>(waitMs / 1000), static_cast<long>(waitMs % 1000) * 1000};
    int n = ::select(0, nullptr, &writable, &failed, &tv);
    ConnectOutcome outcome = n <= 0                     ? ConnectOutcome::NoAnswer
                             : FD_ISSET(s, &writable) ? ConnectOutcome::Connected
                                                      : ConnectOutcome::Refused;
    ::closesocket(s);
    return outcome;
}

// The three kinds of server a list meets, on whichever loopback addresses are
// free (another bench on this host may hold one): one that accepts (and counts
// the connections it took), one that refuses, one that never answers.
class LoopbackStandIns {
public:
    std::wstring accepting, refused, silent;  // addresses; empty when none could be set up
    std::atomic<int> accepted{0};

    LoopbackStandIns() {
        for (const char* a : {"127.0.0.1", "127.0.1.1", "127.0.2.1"}) {
            if ((m_acceptListener = Listen(a, 64)) != INVALID_SOCKET) {
                accepting = Wide(a);
                break;
            }
        }
        if (m_acceptListener != INVALID_SOCKET) m_acceptor = std::thread([this] { AcceptLoop(); });
        for (const char* a : {"127.0.0.2", "127.0.4.2", "127.0.5.2"}) {
            if (TryConnect(a, 2000) == ConnectOutcome::Refused) {
                refused = Wide(a);
                break;
            }
        }
        for (const char* a : {"127.0.0.3", "127.0.3.3", "127.0.6.3"}) {
            SOCKET l = Listen(a, 0);
            if (l == INVALID_SOCKET) continue;
            for (int i = 0; i < 3; ++i) {
                SOCKET c = ::socket(AF_INET, SOCK_STREAM, 0);
                u_long on = 1;
                ::ioctlsocket(c, FIONBIO, &on);
                sockaddr_in addr = LoopbackAddress(a);
                ::connect(c, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
                m_fillers.push_back(c);
            }
            ::Sleep(100);
            // Silent means: no answer at all, not even after a probe's wait.
            if (TryConnect(a, 1500) == ConnectOutcome::NoAnswer) {
                m_silentListener = l;
                silent = Wide(a);
                break;
            }
            for (SOCKET c : m_fillers) ::closesocket(c);
            m_fillers.clear();
            ::closesocket(l);
        }
        std::printf("stand-ins: accepting %ls, refused %ls, silent %ls\n", accepting.c_str(), refused.c_str(),
                    silent.c_str());
    }
    ~LoopbackStandIns() {
        m_stop = true;
        if (m_acceptor.joinable()) m_acceptor.join();
        for (SOCKET c : m_fillers) ::closesocket(c);
        if (m_acceptListener != INVALID_SOCKET) ::closesocket(m_acceptListener);
        if (m_silentListener != INVALID_SOCKET) ::closesocket(m_silentListener);
    }
    LoopbackStandIns(const LoopbackStandIns&) = delete;
    LoopbackStandIns& operator=(const LoopbackStandIns&) = delete;
    bool ok() const { return !accepting.empty() && !refused.empty() && !silent.empty(); }

private:
    static std::wstring Wide(const char* s) { return std::wstring(s, s + strlen(s)); }
    static SOCKET Listen(const char* address, int backlog) {
        SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr = LoopbackAddress(address);
        if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || ::listen(s, backlog) != 0) {
            ::closesocket(s);
            return INVALID_SOCKET;
        }
        return s;
    }
    void AcceptLoop() {
        while (!m_stop) {
            fd_set r;
            FD_ZERO(&r);
            FD_SET(m_acceptListener, &r);
            timeval tv{0, 50000};
            if (::select(0, &r, nullptr, nullptr, &tv) == 1) {
                SOCKET c = ::accept(m_acceptListener, nullptr, nullptr);
                if (c != INVALID_SOCKET) {
                    ++accepted;
                    ::closesocket(c);
                }
            }
        }
    }

    SOCKET m_acceptListener = INVALID_SOCKET;
    SOCKET m_silentListener = INVALID_SOCKET;
    std::vector<SOCKET> m_fillers;  // connects to the silent server that are never accepted
    std::thread m_acceptor;
    std::atomic<bool> m_stop{false};
};

}  // namespace testing_support
