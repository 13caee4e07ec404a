#include "Transfer.h"

#include <ws2tcpip.h>
#include <wininet.h>

#include <cwctype>
#include <vector>

#include "CodePage.h"

namespace {

// A network step that failed, or a transfer nobody waits for any more.
struct NetworkError {};

const char kAgent[] = "TEAR - MFC Sample App";
const char kLocation[] = "Location: ";
const wchar_t kInternetSettings[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
// The worker reads what has arrived, up to this much at a time.
constexpr int kReadSize = 64 * 1024;
// Pieces waiting to be taken are joined up to this size.
constexpr size_t kMaxPiece = 256 * 1024;
// The worker waits while this much is still to be taken by the other thread.
constexpr size_t kMaxQueued = 1024 * 1024;
// The longest the worker waits on the socket before it looks whether it is still wanted.
constexpr DWORD kSliceMs = 50;

// The sockets library, for as long as a transfer runs.
class CSocketsLibrary {
public:
    CSocketsLibrary() { m_started = ::WSAStartup(MAKEWORD(2, 2), &m_data) == 0; }
    ~CSocketsLibrary() {
        if (m_started) ::WSACleanup();
    }
    CSocketsLibrary(const CSocketsLibrary&) = delete;
    CSocketsLibrary& operator=(const CSocketsLibrary&) = delete;

private:
    WSADATA m_data{};
    bool m_started = false;
};

std::wstring Lower(std::wstring text) {
    for (auto& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

// The items of a list separated by any of separators, blanks around them dropped, empty ones left out.
std::vector<std::wstring> Items(const std::wstring& list, const wchar_t* separators) {
    std::vector<std::wstring> items;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find_first_of(separators, start);
        if (end == std::wstring::npos) end = list.size();
        std::wstring item = list.substr(start, end - start);
        size_t first = item.find_first_not_of(L" \t"), last = item.find_last_not_of(L" \t");
        if (first != std::wstring::npos) items.push_back(item.substr(first, last - first + 1));
        start = end + 1;
    }
    return items;
}

// A name against a pattern whose '*' stands for any run of characters, in any case.
bool Matches(const std::wstring& name, const std::wstring& pattern) {
    size_t star = pattern.find(L'*');
    if (star == std::wstring::npos) return name == pattern;
    const std::wstring head = pattern.substr(0, star), rest = pattern.substr(star + 1);
    if (name.compare(0, head.size(), head) != 0) return false;
    for (size_t at = head.size(); at <= name.size(); ++at)
        if (Matches(name.substr(at), rest)) return true;
    return false;
}

std::wstring SettingText(const wchar_t* name) {
    wchar_t text[1024] = {};
    DWORD size = sizeof(text) - sizeof(wchar_t);
    if (::RegGetValueW(HKEY_CURRENT_USER, kInternetSettings, name, RRF_RT_REG_SZ, nullptr, text, &size) !=
        ERROR_SUCCESS)
        return std::wstring();
    return text;
}

bool ProxyEnabled() {
    DWORD enabled = 0, size = sizeof(enabled);
    return ::RegGetValueW(HKEY_CURRENT_USER, kInternetSettings, L"ProxyEnable", RRF_RT_REG_DWORD, nullptr, &enabled,
                          &size) == ERROR_SUCCESS &&
           enabled != 0;
}

// The path as bytes of the system's code page, escaped where a request line allows no such byte.
std::string RequestPath(const std::wstring& object) {
    std::string escaped;
    for (unsigned char c : CodePage::FromWide(object, CP_ACP)) {
        if (c <= 0x20 || c >= 0x7F) {
            char hex[4];
            snprintf(hex, sizeof(hex), "%%%02X", c);
            escaped += hex;
        } else {
            escaped += static_cast<char>(c);
        }
    }
    return escaped;
}

std::string HostAndPort(const ParsedUrl& url) { return CodePage::FromWide(url.server, CP_ACP) + ":" + std::to_string(url.port); }

}  // namespace

bool ParseHttpUrl(const std::wstring& url, ParsedUrl* out) {
    wchar_t host[INTERNET_MAX_HOST_NAME_LENGTH + 1] = {};
    std::wstring path(url.size() + 1, L'\0'), extra(url.size() + 1, L'\0');
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = host;
    parts.dwHostNameLength = INTERNET_MAX_HOST_NAME_LENGTH + 1;
    parts.lpszUrlPath = path.data();
    parts.dwUrlPathLength = static_cast<DWORD>(path.size());
    parts.lpszExtraInfo = extra.data();
    parts.dwExtraInfoLength = static_cast<DWORD>(extra.size());
    if (url.empty() || !::InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) return false;
    if (parts.nScheme != INTERNET_SCHEME_HTTP || host[0] == L'\0') return false;
    out->server = host;
    out->object = std::wstring(path.c_str()) + extra.c_str();
    if (out->object.empty()) out->object = L"/";
    out->port = parts.nPort;
    return true;
}

bool ProxyFor(const std::wstring& proxies, const std::wstring& bypass, const std::wstring& server, ParsedUrl* proxy) {
    const std::wstring name = Lower(server);
    for (const auto& pattern : Items(Lower(bypass), L";, ")) {
        // "<local>": a name without a dot.
        if (pattern == L"<local>" ? name.find(L'.') == std::wstring::npos : Matches(name, pattern)) return false;
    }
    std::wstring chosen;
    for (const auto& item : Items(proxies, L"; ")) {
        size_t equals = item.find(L'=');
        if (equals == std::wstring::npos) {
            if (chosen.empty()) chosen = item;
        } else if (Lower(item.substr(0, equals)) == L"http") {
            chosen = item.substr(equals + 1);
        }
    }
    if (chosen.empty()) return false;
    if (chosen.find(L"://") == std::wstring::npos) chosen = L"http://" + chosen;
    ParsedUrl url;
    if (!ParseHttpUrl(chosen, &url)) return false;
    proxy->server = url.server;
    proxy->port = url.port;
    proxy->object.clear();
    return true;
}

bool ParseResponseHead(const std::string& head, ResponseHead* out) {
    *out = ResponseHead();
    size_t end = head.find('\n');
    std::string status = head.substr(0, end);
    // "HTTP/1.1 200 OK": a version, one blank, three digits.
    if (status.size() < 12 || status.compare(0, 5, "HTTP/") != 0) return false;
    size_t blank = status.find(' ');
    if (blank == std::string::npos || status.size() < blank + 4) return false;
    for (size_t i = blank + 1; i < blank + 4; ++i)
        if (status[i] < '0' || status[i] > '9') return false;
    out->status = std::stoi(status.substr(blank + 1, 3));
    while (end != std::string::npos) {
        size_t start = end + 1;
        end = head.find('\n', start);
        std::string line = head.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.compare(0, strlen(kLocation), kLocation) == 0) {
            out->hasLocation = true;
            out->location = line.substr(strlen(kLocation));
            continue;
        }
        size_t colon = line.find(':');
        if (colon != 14 || _strnicmp(line.c_str(), "Content-Length", colon) != 0)
            continue;
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(" \t"));
        value.erase(value.find_last_not_of(" \t") + 1);
        // Two lengths that differ, or one that is no number, leave the body's end unknown.
        if (value.empty() || value.size() > 18 || value.find_first_not_of("0123456789") != std::string::npos)
            return false;
        unsigned long long length = std::stoull(value);
        if (out->hasLength && out->length != length) return false;
        out->hasLength = true;
        out->length = length;
    }
    return true;
}

void CTransfer::Run() {
    bool complete = false;
    CSocketsLibrary sockets;
    try {
        ResponseHead head = Request(m_url);
        if (head.status == HTTP_STATUS_MOVED || head.status == HTTP_STATUS_REDIRECT ||
            head.status == HTTP_STATUS_REDIRECT_METHOD) {
            ParsedUrl target;
            if (!head.hasLocation) throw CTearException(2);
            if (!ParseHttpUrl(std::wstring(head.location.begin(), head.location.end()), &target))
                throw CTearException(2);
            // A second redirect is never followed.
            head = Request(target);
            if (head.status != HTTP_STATUS_OK) throw CTearException(2);
        }
        // No credentials go to the update host over plain HTTP, nor to a proxy that asks (401, 407); an error
        // page is not the file either.
        if (head.status == HTTP_STATUS_DENIED || head.status == HTTP_STATUS_PROXY_AUTH_REQ) throw CTearException(1);
        if (head.status != HTTP_STATUS_OK) throw CTearException(3);
        complete = ReadBody(head);
    } catch (const CTearException&) {
    } catch (const NetworkError&) {
    }
    m_socket.Reset();
    std::lock_guard<std::mutex> guard(m_shared->lock);
    m_shared->finished = true;
    m_shared->complete = complete;
    m_shared->Signal();
}

void CTransfer::SetStage(int stage) {
    std::lock_guard<std::mutex> guard(m_shared->lock);
    m_shared->stage = stage;
    m_shared->Signal();
}

bool CTransfer::Abandoned() {
    std::lock_guard<std::mutex> guard(m_shared->lock);
    return m_shared->abandoned;
}

void CTransfer::WaitFor(bool write) {
    DWORD start = ::GetTickCount();
    for (;;) {
        if (Abandoned()) throw NetworkError();
        fd_set ready, failed;
        FD_ZERO(&ready);
        FD_SET(m_socket.Get(), &ready);
        failed = ready;
        timeval slice{0, static_cast<long>(kSliceMs * 1000)};
        int count = ::select(0, write ? nullptr : &ready, write ? &ready : nullptr, &failed, &slice);
        if (count < 0 || (count > 0 && FD_ISSET(m_socket.Get(), &failed))) throw NetworkError();
        if (count > 0) return;
        if (::GetTickCount() - start >= kNetworkWaitMs) throw NetworkError();
    }
}

void CTransfer::Connect(const ParsedUrl& target) {
    ADDRINFOW hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    ADDRINFOW* found = nullptr;
    // The lookup itself cannot be stopped; a transfer given up meanwhile ends after it.
    if (::GetAddrInfoW(target.server.c_str(), std::to_wstring(target.port).c_str(), &hints, &found) != 0)
        throw NetworkError();
    std::unique_ptr<ADDRINFOW, decltype(&::FreeAddrInfoW)> addresses(found, &::FreeAddrInfoW);
    for (ADDRINFOW* address = found; address; address = address->ai_next) {
        m_socket.Reset(::socket(address->ai_family, address->ai_socktype, address->ai_protocol));
        if (!m_socket) continue;
        u_long nonBlocking = 1;
        ::ioctlsocket(m_socket.Get(), FIONBIO, &nonBlocking);
        if (::connect(m_socket.Get(), address->ai_addr, static_cast<int>(address->ai_addrlen)) != 0 &&
            ::WSAGetLastError() != WSAEWOULDBLOCK)
            continue;
        try {
            WaitFor(true);
            return;
        } catch (const NetworkError&) {
            if (Abandoned()) throw;
        }
    }
    throw NetworkError();
}

ResponseHead CTransfer::Request(const ParsedUrl& url) {
    SetStage(kFinding);
    ParsedUrl proxy;
    bool proxied = ProxyEnabled() && ProxyFor(SettingText(L"ProxyServer"), SettingText(L"ProxyOverride"),
                                              url.server, &proxy);
    m_socket.Reset();
    m_pending.clear();
    Connect(proxied ? proxy : url);
    SetStage(kWaiting);
    // HTTP/1.0: the body ends with the connection, and is never sent in chunks. Nothing is kept in a
    // cache on the way: a cached manifest would hide every release after it.
    const std::string path = RequestPath(url.object);
    std::string request = "GET " + (proxied ? "http://" + HostAndPort(url) + path : path) + " HTTP/1.0\r\nHost: " +
                          HostAndPort(url) + "\r\nAccept: text/*\r\nUser-Agent: " + kAgent +
                          "\r\nPragma: no-cache\r\nCache-Control: no-cache\r\n\r\n";
    for (size_t sent = 0; sent < request.size();) {
        WaitFor(true);
        int n = ::send(m_socket.Get(), request.data() + sent, static_cast<int>(request.size() - sent), 0);
        if (n < 0 && ::WSAGetLastError() != WSAEWOULDBLOCK) throw NetworkError();
        if (n > 0) sent += n;
    }
    // The head is read up to its bound and no further, whatever the server goes on sending.
    std::string head;
    for (;;) {
        size_t end = head.find("\r\n\r\n");
        if (end != std::string::npos) {
            m_pending = head.substr(end + 4);
            head.resize(end);
            break;
        }
        if (head.size() > kMaxResponseHeadBytes) throw CTearException(3);
        char buffer[4096];
        WaitFor(false);
        int n = ::recv(m_socket.Get(), buffer, sizeof(buffer), 0);
        if (n == 0) throw NetworkError();
        if (n < 0) {
            if (::WSAGetLastError() != WSAEWOULDBLOCK) throw NetworkError();
            continue;
        }
        head.append(buffer, n);
    }
    ResponseHead parsed;
    if (!ParseResponseHead(head, &parsed)) throw CTearException(3);
    return parsed;
}

bool CTransfer::Deliver(const char* data, size_t size) {
    std::unique_lock<std::mutex> guard(m_shared->lock);
    // Holds back while the other thread has much left to take.
    m_shared->changed.wait(guard, [&] { return m_shared->queued < kMaxQueued || m_shared->abandoned; });
    if (m_shared->abandoned) return false;
    // What the other thread has not taken yet grows into larger pieces: fewer
    // writes and hash calls there when the network is faster than the disk.
    bool idle = m_shared->pieces.empty();
    if (!idle && m_shared->pieces.back().size() + size <= kMaxPiece)
        m_shared->pieces.back().append(data, size);
    else
        m_shared->pieces.emplace_back(data, size);
    m_shared->queued += size;
    if (idle) m_shared->Signal();
    return true;
}

bool CTransfer::ReadBody(const ResponseHead& head) {
    // A body announced longer than allowed is refused before it is read.
    if (head.hasLength && head.length > m_maxBytes) throw CTearException(3);
    SetStage(kReceiving);

    std::unique_ptr<char[]> buffer(new char[kReadSize]);
    unsigned long long received = 0;
    std::string first;
    first.swap(m_pending);
    for (;;) {
        if (head.hasLength && received >= head.length) break;
        const char* data = first.data();
        int n = static_cast<int>(first.size());
        if (first.empty()) {
            WaitFor(false);
            n = ::recv(m_socket.Get(), buffer.get(), kReadSize, 0);
            if (n < 0 && ::WSAGetLastError() == WSAEWOULDBLOCK) continue;
            if (n < 0) throw NetworkError();
            if (n == 0) break;
            data = buffer.get();
        }
        // Never more than one byte past the bound: that byte is the failure.
        unsigned long long room = m_maxBytes - received + 1;
        size_t take = static_cast<unsigned long long>(n) < room ? n : static_cast<size_t>(room);
        received += take;
        if (received > m_maxBytes) throw CTearException(3);
        if (head.hasLength && received > head.length) take -= static_cast<size_t>(received - head.length);
        if (!Deliver(data, take)) return false;
        first.clear();
    }
    // A body that ended early is not the file: compare with what the server
    // announced, or with the manifest's size when it announced nothing.
    if (head.hasLength) return received >= head.length;
    return m_expectedSize <= 0 || received >= static_cast<unsigned long long>(m_expectedSize);
}
