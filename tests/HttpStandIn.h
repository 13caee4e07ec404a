#pragma once
// A proxy on loopback that records each request's first line ("GET http://host/path HTTP/1.1") and never answers.
#include <winsock2.h>
#include <windows.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

class HttpStandIn {
public:
    HttpStandIn();
    ~HttpStandIn();
    unsigned short port() const { return m_port; }
    std::vector<std::string> Requests() const;

private:
    SOCKET m_listen = INVALID_SOCKET;
    unsigned short m_port = 0;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

}  // namespace testing_support
