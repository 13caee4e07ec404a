#include "Download.h"

#include "UniqueHandle.h"

namespace {

struct InternetHandleTraits {
    using Type = HINTERNET;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::InternetCloseHandle(h); }
};
using UniqueInternetHandle = UniqueHandle<InternetHandleTraits>;

// An internet error of the platform's client, raised at the failing step.
struct InternetError {
    DWORD code;
};

const wchar_t kAgent[] = L"TEAR - MFC Sample App";
const wchar_t kExtraHeaders[] = L"Accept: text/*\r\nUser-Agent: MFC_Tear_Sample\r\n";
const wchar_t kLocation[] = L"Location: ";

// Bounds the connect, send and receive waits of a handle and those made from it.
void BoundWaits(HINTERNET handle) {
    DWORD wait = kNetworkWaitMs;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                         INTERNET_OPTION_DATA_SEND_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT})
        ::InternetSetOptionW(handle, option, &wait, sizeof(wait));
}

struct ParsedUrl {
    std::wstring server;
    std::wstring object;
    INTERNET_PORT port = 0;
};

// False when the text is no usable http URL.
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

class CTransfer {
public:
    CTransfer(IUpdateUi& ui, HINTERNET session) : m_ui(ui), m_session(session) {}

    // Connects, sends and checks the first answer; the request is ready to be read.
    void OpenFirst(const ParsedUrl& url);
    // Reads the body into the file at path; false when cancelled.
    bool ReadBody(const std::wstring& path, int expectedSize, BOOL showProgress);

    void Close() {
        m_request.Reset();
        m_connection.Reset();
    }

private:
    void Open(const ParsedUrl& url);
    DWORD Send();
    void FollowRedirect();

    IUpdateUi& m_ui;
    HINTERNET m_session;
    UniqueInternetHandle m_connection;
    UniqueInternetHandle m_request;
};

void CTransfer::Open(const ParsedUrl& url) {
    m_connection.Reset(::InternetConnectW(m_session, url.server.c_str(), url.port, nullptr, nullptr,
                                          INTERNET_SERVICE_HTTP, 0, 1));
    if (!m_connection) throw InternetError{::GetLastError()};
    BoundWaits(m_connection.Get());
    // The platform follows no redirect itself: the one we follow is checked
    // below. Every answer comes from the server: a cached manifest would hide
    // every release after it.
    m_request.Reset(::HttpOpenRequestW(m_connection.Get(), L"GET", url.object.c_str(), nullptr, nullptr, nullptr,
                                       INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_NO_AUTO_REDIRECT |
                                           INTERNET_FLAG_RELOAD | INTERNET_FLAG_PRAGMA_NOCACHE,
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

void CTransfer::OpenFirst(const ParsedUrl& url) {
    Open(url);
    m_ui.SetStatusText(L"웹사이트를 찾았습니다. 응답을 기다리는중...");
    DWORD status = Send();
    if (status == HTTP_STATUS_DENIED) {
        // One authentication retry, only when the user confirms credentials.
        if (!m_ui.ConfirmCredentials(m_request.Get())) throw CTearException(1);
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

    Close();
    ParsedUrl target;
    if (!ParseHttpUrl(location, &target)) throw CTearException(2);
    Open(target);
    // A second redirect is never followed.
    if (Send() != HTTP_STATUS_OK) throw CTearException(2);
}

bool CTransfer::ReadBody(const std::wstring& path, int expectedSize, BOOL showProgress) {
    m_ui.SetStatusText(L"파일을 받고 있습니다.");
    if (showProgress) m_ui.OpenProgress();

    UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw CTearException(4);

    BYTE buffer[1024];
    int counter = 0;
    unsigned long long received = 0;
    for (;;) {
        DWORD n = 0;
        if (!::InternetReadFile(m_request.Get(), buffer, sizeof(buffer), &n)) throw InternetError{::GetLastError()};
        DWORD written = 0;
        if (n > 0 && (!::WriteFile(file.Get(), buffer, n, &written, nullptr) || written != n))
            throw CTearException(4);
        received += n;
        if (showProgress) {
            // The counter grows by a whole buffer per read, whatever arrived.
            counter += sizeof(buffer);
            int position = expectedSize == 0 ? -1 : ::MulDiv(counter, 100, expectedSize);
            m_ui.SetProgress(position);
            if (m_ui.PollCancel()) return false;
        }
        if (n < sizeof(buffer)) break;
    }

    // A body that ended early is not the file: compare with what the server
    // announced, or with the manifest's size when it announced nothing.
    DWORD announced = 0, size = sizeof(announced);
    if (::HttpQueryInfoW(m_request.Get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &announced, &size,
                         nullptr)) {
        if (received < announced) throw CTearException(3);
    } else if (expectedSize > 0 && received < static_cast<unsigned long long>(expectedSize)) {
        throw CTearException(3);
    }
    return true;
}

}  // namespace

BOOL DownloadFile(IUpdateUi& ui, const std::wstring& url, const std::wstring& localPath, int expectedSize,
                  BOOL showProgress) {
    BOOL ok = FALSE;
    {
        UniqueInternetHandle session(::InternetOpenW(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
        ui.SetStatusText(L"사이트 찾는 중...");
        CTransfer transfer(ui, session.Get());
        try {
            ParsedUrl parsed;
            if (!ParseHttpUrl(url, &parsed)) throw CTearException(1);
            if (!session) throw InternetError{::GetLastError()};
            BoundWaits(session.Get());
            transfer.OpenFirst(parsed);
            ok = transfer.ReadBody(localPath, expectedSize, showProgress) ? TRUE : FALSE;
        } catch (const CTearException&) {
            ok = FALSE;
        } catch (const InternetError&) {
            ok = FALSE;
        }
        if (showProgress) ui.CloseProgress();
        transfer.Close();
    }
    ui.SetStatusText(L"파일 다운로드 완료.");
    return ok;
}
