#include "Download.h"

#include <wininet.h>

#include <climits>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

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
// The worker reads what has arrived, up to this much at a time.
constexpr DWORD kReadSize = 64 * 1024;
// Pieces waiting to be taken are joined up to this size.
constexpr size_t kMaxPiece = 256 * 1024;
// The worker waits while this much is still to be taken by the other thread.
constexpr size_t kMaxQueued = 1024 * 1024;
// Progress is counted in reads of this size, whatever arrives at once.
constexpr int kProgressRead = 1024;
// The longest the calling thread goes without looking at its messages.
constexpr DWORD kDispatchMs = 50;

enum Stage { kFinding = 0, kWaiting = 1, kReceiving = 2 };

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

// What the worker and the calling thread share. The worker may outlive the
// call (an abandoned transfer ends at its next network wait); it then only
// touches this.
struct SharedState {
    std::mutex lock;
    std::condition_variable changed;
    UniqueKernelHandle wake{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    std::deque<std::string> pieces;
    size_t queued = 0;
    int stage = kFinding;
    bool finished = false;
    bool complete = false;
    // A 401: the request waits for the user's answer.
    HINTERNET credentialsRequest = nullptr;
    bool credentialsAnswered = false;
    bool retry = false;
    bool abandoned = false;

    void Signal() { ::SetEvent(wake.Get()); }
};

// The transfer itself, on the worker thread.
class CTransfer {
public:
    CTransfer(std::shared_ptr<SharedState> shared, ParsedUrl url, unsigned long long maxBytes, int expectedSize)
        : m_shared(std::move(shared)), m_url(std::move(url)), m_maxBytes(maxBytes), m_expectedSize(expectedSize) {}

    void Run() {
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

private:
    void SetStage(int stage) {
        std::lock_guard<std::mutex> guard(m_shared->lock);
        m_shared->stage = stage;
        m_shared->Signal();
    }
    bool Abandoned() {
        std::lock_guard<std::mutex> guard(m_shared->lock);
        return m_shared->abandoned;
    }
    void Open(const ParsedUrl& url);
    DWORD Send();
    void OpenFirst();
    void FollowRedirect();
    bool AskCredentials();
    bool ReadBody();
    bool Deliver(const BYTE* data, DWORD size);

    std::shared_ptr<SharedState> m_shared;
    ParsedUrl m_url;
    unsigned long long m_maxBytes;
    int m_expectedSize;
    UniqueInternetHandle m_session;
    UniqueInternetHandle m_connection;
    UniqueInternetHandle m_request;
};

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

// Bytes that arrived in the last kMinRateWindowMs, from samples taken as the call went on.
class CRateWatch {
public:
    explicit CRateWatch(DWORD now) { m_samples.push_back({now, 0}); }
    // False when the window is full and too little arrived in it.
    bool Sample(DWORD now, unsigned long long total) {
        m_samples.push_back({now, total});
        while (m_samples.size() >= 2 && now - m_samples[1].tick >= kMinRateWindowMs) m_samples.pop_front();
        const Point& oldest = m_samples.front();
        return now - oldest.tick < kMinRateWindowMs || total - oldest.total >= kMinRateBytes;
    }
    // Time spent waiting for the user does not count.
    void Shift(DWORD pause) {
        for (auto& point : m_samples) point.tick += pause;
    }

private:
    struct Point {
        DWORD tick;
        unsigned long long total;
    };
    std::deque<Point> m_samples;
};

const wchar_t* StageText(int stage) {
    return stage == kWaiting ? L"웹사이트를 찾았습니다. 응답을 기다리는중..." : L"파일을 받고 있습니다.";
}

}  // namespace

bool WaitDispatching(IUpdateUi& ui, HANDLE handle, DWORD timeoutMs, bool* cancelled) {
    if (cancelled) *cancelled = false;
    DWORD start = ::GetTickCount();
    for (;;) {
        if (::WaitForSingleObject(handle, 0) != WAIT_TIMEOUT) return true;
        if (ui.PollCancel()) {
            if (cancelled) *cancelled = true;
            return false;
        }
        DWORD spent = ::GetTickCount() - start;
        if (timeoutMs != INFINITE && spent >= timeoutMs) return false;
        ::MsgWaitForMultipleObjects(1, &handle, FALSE, kDispatchMs, QS_ALLINPUT);
    }
}

BOOL DownloadFile(IUpdateUi& ui, const std::wstring& url, IFetchSink& sink, int expectedSize, BOOL showProgress,
                  const FetchLimits& limits, FetchOutcome* outcome) {
    ui.SetStatusText(L"사이트 찾는 중...");
    FetchOutcome result = FetchOutcome::Failed;
    bool progressOpen = false;
    ParsedUrl parsed;
    if (ParseHttpUrl(url, &parsed)) {
        auto shared = std::make_shared<SharedState>();
        std::thread([shared, parsed, limits, expectedSize] {
            CTransfer(shared, parsed, limits.maxBytes, expectedSize).Run();
        }).detach();

        DWORD deadline = limits.deadline;
        CRateWatch rate(::GetTickCount());
        int shownStage = kFinding;
        unsigned long long taken = 0;
        int reads = 0;  // whole reads of kProgressRead counted so far
        int lastPosition = INT_MIN;
        auto showRead = [&] {
            // The counter grows by a whole read each time, the short last one included.
            ++reads;
            int position = expectedSize == 0 ? -1 : ::MulDiv(reads * kProgressRead, 100, expectedSize);
            // The display cannot change for an equal position; skipping it keeps large files fast.
            if (position != lastPosition) ui.SetProgress(position);
            lastPosition = position;
        };
        for (;;) {
            std::deque<std::string> pieces;
            int stage;
            bool finished, complete;
            HINTERNET credentials;
            {
                std::lock_guard<std::mutex> guard(shared->lock);
                pieces.swap(shared->pieces);
                shared->queued = 0;
                stage = shared->stage;
                finished = shared->finished;
                complete = shared->complete;
                credentials = shared->credentialsAnswered ? nullptr : shared->credentialsRequest;
            }
            shared->changed.notify_all();
            while (shownStage < stage) {
                ui.SetStatusText(StageText(++shownStage));
                if (shownStage == kReceiving && showProgress) {
                    ui.OpenProgress();
                    progressOpen = true;
                }
            }
            bool failed = false;
            for (const auto& piece : pieces) {
                if (taken + piece.size() > limits.maxBytes ||
                    !sink.Write(reinterpret_cast<const BYTE*>(piece.data()), piece.size())) {
                    failed = true;
                    break;
                }
                taken += piece.size();
                if (progressOpen)
                    while (static_cast<unsigned long long>(reads + 1) * kProgressRead <= taken) showRead();
            }
            if (failed) break;
            if (credentials) {
                DWORD asked = ::GetTickCount();
                BOOL retry = ui.ConfirmCredentials(credentials);
                DWORD pause = ::GetTickCount() - asked;
                if (deadline) deadline += pause;
                rate.Shift(pause);
                std::lock_guard<std::mutex> guard(shared->lock);
                shared->retry = retry != FALSE;
                shared->credentialsAnswered = true;
                shared->changed.notify_all();
            }
            if (finished) {
                if (complete) {
                    result = FetchOutcome::Complete;
                    if (progressOpen) {
                        showRead();
                        if (ui.PollCancel()) result = FetchOutcome::Cancelled;
                    }
                }
                break;
            }
            if (ui.PollCancel()) {
                result = FetchOutcome::Cancelled;
                break;
            }
            DWORD now = ::GetTickCount();
            if (deadline && static_cast<LONG>(now - deadline) >= 0) break;
            if (limits.requireRate && !rate.Sample(now, taken)) break;
            HANDLE wake = shared->wake.Get();
            ::MsgWaitForMultipleObjects(1, &wake, FALSE, kDispatchMs, QS_ALLINPUT);
        }
        // Whatever the worker still does is no longer wanted.
        {
            std::lock_guard<std::mutex> guard(shared->lock);
            shared->abandoned = true;
        }
        shared->changed.notify_all();
    }
    if (showProgress) ui.CloseProgress();
    ui.SetStatusText(L"파일 다운로드 완료.");
    if (outcome) *outcome = result;
    return result == FetchOutcome::Complete ? TRUE : FALSE;
}
