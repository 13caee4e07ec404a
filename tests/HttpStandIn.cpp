#include "HttpStandIn.h"

namespace testing_support {

HttpStandIn::HttpStandIn() {
    m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof(addr);
    if (::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || ::listen(m_listen, 16) != 0 ||
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &size) != 0)
        return;
    m_port = ntohs(addr.sin_port);
    m_thread = std::thread([this] { Serve(); });
}

HttpStandIn::~HttpStandIn() {
    ::closesocket(m_listen);  // ends the accept loop
    if (m_thread.joinable()) m_thread.join();
    for (SOCKET s : m_held) ::closesocket(s);
}

std::vector<std::string> HttpStandIn::Requests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

void HttpStandIn::Serve() {
    SOCKET client;
    while ((client = ::accept(m_listen, nullptr, nullptr)) != INVALID_SOCKET) {
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

}  // namespace testing_support
