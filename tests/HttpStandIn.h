#pragma once
// An HTTP server on 127.0.0.1 at a port the system picks. It records each
// request's first line (as a proxy sees it: "GET http://host/path HTTP/1.1")
// and answers with a small page, or, while held, keeps the connection open and
// answers nothing.
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

class HttpStandIn {
public:
    HttpStandIn();
    ~HttpStandIn();
    HttpStandIn(const HttpStandIn&) = delete;
    HttpStandIn& operator=(const HttpStandIn&) = delete;

    unsigned short port() const { return m_port; }
    void Hold(bool hold) { m_hold = hold; }
    std::vector<std::string> Requests() const;

private:
    void Serve();

    SOCKET m_listen = INVALID_SOCKET;
    unsigned short m_port = 0;
    std::atomic<bool> m_hold{false};
    std::vector<SOCKET> m_held;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

}  // namespace testing_support
