#pragma once
// Game-server stand-ins on loopback for the length of a test.
#include <winsock2.h>
#include <windows.h>

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

}  // namespace testing_support
