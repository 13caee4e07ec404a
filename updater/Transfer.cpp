#include "Transfer.h"

#include "Download.h"

namespace {

// An internet error of the platform's client, raised at the failing step.
struct InternetError {
    DWORD code;
};

const wchar_t kAgent[] = L"TEAR - MFC Sample App";
const wchar_t kExtraHeaders[] = L"Accept: text/*\r\nUser-Agent: MFC_Tear_Sample\r\n";
const wchar_t kLocation[] = L"Location: ";
// The worker reads what has arrived, up to this much at a time.
constexpr DWORD kReadSize = 64 * 1024;
// Pieces waiting to be taken are joined up to this size.
constexpr size_t kMaxPiece = 256 * 1024;
// The worker waits while this much is still to be taken by the other thread.
constexpr size_t kMaxQueued = 1024 * 1024;

// Bounds the connect, send and receive waits of a handle and those made from it.
void BoundWaits(HINTERNET handle) {
    DWORD wait = kNetworkWaitMs;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                         INTERNET_OPTION_DATA_SEND_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT})
        ::InternetSetOptionW(handle, option, &wait, sizeof(wait));
}

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

void CTransfer::Run() {
    bool complete = false;
    try {
        m_session.Reset(::InternetOpenW(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
        if (!m_session) throw InternetError{::GetLastError()};
        BoundWaits(m_session.Get());
        OpenFirst();
        complete = ReadBody();
    } catch (const CTearException&) {
    } catch (const InternetError&) {
    }
    m_request.Reset();
    m_connection.Reset();
    m_session.Reset();
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

void CTransfer::Open(const ParsedUrl& url) {
    m_connection.Reset(::InternetConnectW(m_session.Get(), url.server.c_str(), url.port, nullptr, nullptr,
                                          INTERNET_SERVICE_HTTP, 0, 1));
    if (!m_connection) throw InternetError{::GetLastError()};
    BoundWaits(m_connection.Get());
    // The platform follows no redirect itself: the one we follow is checked
    // below. Every answer comes from the server, and none is kept in the
    // platform's cache: a cached manifest would hide every release after it,
    // and a hostile answer would fill the disk there.
    m_request.Reset(::HttpOpenRequestW(m_connection.Get(), L"GET", url.object.c_str(), nullptr, nullptr, nullptr,
                                       INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_NO_AUTO_REDIRECT |
                                           INTERNET_FLAG_RELOAD | INTERNET_FLAG_PRAGMA_NOCACHE |
                                           INTERNET_FLAG_NO_CACHE_WRITE,
                                       1));
    if (!m_request) throw InternetError{::GetLastError()};
    BoundWaits(m_request.Get());
    ::HttpAddRequestHeadersW(m_request.Get(), kExtraHeaders, static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD_IF_NEW);
}

DWORD CTransfer::Send() {
    if (!::HttpSendRequestW(m_request.Get(), nullptr, 0, nullptr, 0)) throw InternetError{::GetLastError()};
    DWORD status = 0, size = sizeof(status);
    if (!::HttpQueryInfoW(m_request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
        throw InternetError{::GetLastError()};
    return status;
}

bool CTransfer::AskCredentials() {
    std::unique_lock<std::mutex> guard(m_shared->lock);
    m_shared->credentialsRequest = m_request.Get();
    m_shared->Signal();
    m_shared->changed.wait(guard, [&] { return m_shared->credentialsAnswered || m_shared->abandoned; });
    m_shared->credentialsRequest = nullptr;
    return m_shared->credentialsAnswered && m_shared->retry && !m_shared->abandoned;
}

void CTransfer::OpenFirst() {
    Open(m_url);
    SetStage(kWaiting);
    DWORD status = Send();
    if (status == HTTP_STATUS_DENIED) {
        // One authentication retry, only when the user confirms credentials.
        if (!AskCredentials()) throw CTearException(1);
        status = Send();
    }
    if (status == HTTP_STATUS_MOVED || status == HTTP_STATUS_REDIRECT || status == HTTP_STATUS_REDIRECT_METHOD) {
        FollowRedirect();
        return;
    }
    // An error page (404, 500, a second 401...) is not the file.
    if (status != HTTP_STATUS_OK) throw CTearException(3);
}

void CTransfer::FollowRedirect() {
    DWORD size = 0;
    ::HttpQueryInfoW(m_request.Get(), HTTP_QUERY_RAW_HEADERS_CRLF, nullptr, &size, nullptr);
    std::wstring headers(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(headers.size() * sizeof(wchar_t));
    if (!::HttpQueryInfoW(m_request.Get(), HTTP_QUERY_RAW_HEADERS_CRLF, headers.data(), &size, nullptr))
        throw CTearException(2);
    headers.resize(size / sizeof(wchar_t));
    size_t at = headers.find(kLocation);  // the header name is matched as written
    if (at == std::wstring::npos) throw CTearException(2);
    at += wcslen(kLocation);
    size_t end = headers.find(L"\r\n", at);
    std::wstring location = headers.substr(at, end == std::wstring::npos ? std::wstring::npos : end - at);

    m_request.Reset();
    m_connection.Reset();
    ParsedUrl target;
    if (!ParseHttpUrl(location, &target)) throw CTearException(2);
    Open(target);
    // A second redirect is never followed.
    if (Send() != HTTP_STATUS_OK) throw CTearException(2);
}

bool CTransfer::Deliver(const BYTE* data, DWORD size) {
    std::unique_lock<std::mutex> guard(m_shared->lock);
    // Holds back while the other thread has much left to take.
    m_shared->changed.wait(guard, [&] { return m_shared->queued < kMaxQueued || m_shared->abandoned; });
    if (m_shared->abandoned) return false;
    // What the other thread has not taken yet grows into larger pieces: fewer
    // writes and hash calls there when the network is faster than the disk.
    bool idle = m_shared->pieces.empty();
    if (!idle && m_shared->pieces.back().size() + size <= kMaxPiece)
        m_shared->pieces.back().append(reinterpret_cast<const char*>(data), size);
    else
        m_shared->pieces.emplace_back(reinterpret_cast<const char*>(data), size);
    m_shared->queued += size;
    if (idle) m_shared->Signal();
    return true;
}

bool CTransfer::ReadBody() {
    DWORD announced = 0, size = sizeof(announced);
    bool hasLength = ::HttpQueryInfoW(m_request.Get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &announced,
                                      &size, nullptr) != FALSE;
    // A body announced longer than allowed is refused before it is read.
    if (hasLength && announced > m_maxBytes) throw CTearException(3);
    SetStage(kReceiving);

    std::unique_ptr<BYTE[]> buffer(new BYTE[kReadSize]);
    unsigned long long received = 0;
    for (;;) {
        if (Abandoned()) return false;
        // Waits only until something has arrived, not until a buffer is full.
        DWORD available = 0;
        if (!::InternetQueryDataAvailable(m_request.Get(), &available, 0, 0)) throw InternetError{::GetLastError()};
        if (available == 0) break;
        // Never more than one byte past the bound: that byte is the failure.
        unsigned long long room = m_maxBytes - received + 1;
        DWORD want = available < kReadSize ? available : kReadSize;
        if (want > room) want = static_cast<DWORD>(room);
        DWORD n = 0;
        if (!::InternetReadFile(m_request.Get(), buffer.get(), want, &n)) throw InternetError{::GetLastError()};
        if (n == 0) break;
        received += n;
        if (received > m_maxBytes) throw CTearException(3);
        if (!Deliver(buffer.get(), n)) return false;
    }
    // A body that ended early is not the file: compare with what the server
    // announced, or with the manifest's size when it announced nothing.
    if (hasLength) return received >= announced;
    return m_expectedSize <= 0 || received >= static_cast<unsigned long long>(m_expectedSize);
}
