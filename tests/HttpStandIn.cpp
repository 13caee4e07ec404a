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
    m_thread = std::thread([this] {
        SOCKET client;
        while ((client = ::accept(m_listen, nullptr, nullptr)) != INVALID_SOCKET) {
            char buffer[2048];
            int n = ::recv(client, buffer, sizeof(buffer), 0);  // the client stays open, unanswered
            std::string request(buffer, n > 0 ? n : 0);
            std::lock_guard<std::mutex> lock(m_mutex);
            m_requests.push_back(request.substr(0, request.find("\r\n")));
        }
    });
}

HttpStandIn::~HttpStandIn() {
    ::closesocket(m_listen);  // ends the accept loop
    if (m_thread.joinable()) m_thread.join();
}

std::vector<std::string> HttpStandIn::Requests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

}  // namespace testing_support
