#pragma once
// Game-server stand-ins on loopback for the length of a test.
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <mutex>
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

// An HTTP server on 127.0.0.1 at a port the system picks. It records each
// request's first line (as a proxy sees it: "GET http://host/path HTTP/1.1")
// and answers with a small page, or, while held, keeps the connection open and
// answers nothing.
class HttpStandIn {
public:
    HttpStandIn() {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr = LoopbackAddress("127.0.0.1");
        addr.sin_port = 0;
        int size = sizeof(addr);
        if (::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || ::listen(m_listen, 16) != 0 ||
            ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &size) != 0)
            return;
        m_port = ntohs(addr.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~HttpStandIn() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
        for (SOCKET s : m_held) ::closesocket(s);
        ::closesocket(m_listen);
    }
    HttpStandIn(const HttpStandIn&) = delete;
    HttpStandIn& operator=(const HttpStandIn&) = delete;

    bool ok() const { return m_port != 0; }
    unsigned short port() const { return m_port; }
    void Hold(bool hold) { m_hold = hold; }
    std::vector<std::string> Requests() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }

private:
    void Serve() {
        while (!m_stop) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(m_listen, &readable);
            timeval wait{0, 50000};
            if (::select(0, &readable, nullptr, nullptr, &wait) != 1) continue;
            SOCKET client = ::accept(m_listen, nullptr, nullptr);
            if (client == INVALID_SOCKET) continue;
            std::string request;
            char buffer[2048];
            int n;
            while (request.find("\r\n\r\n") == std::string::npos &&
                   (n = ::recv(client, buffer, sizeof(buffer), 0)) > 0)
                request.append(buffer, n);
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_requests.push_back(request.substr(0, request.find("\r\n")));
            }
            if (m_hold) {
                m_held.push_back(client);
                continue;
            }
            static const char kReply[] =
                "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 28\r\nConnection: close\r\n\r\n"
                "<html><body>ok</body></html>";
            ::send(client, kReply, sizeof(kReply) - 1, 0);
            ::shutdown(client, SD_SEND);
            ::closesocket(client);
        }
    }

    SOCKET m_listen = INVALID_SOCKET;
    unsigned short m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_hold{false};
    std::vector<SOCKET> m_held;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

}  // namespace testing_support
