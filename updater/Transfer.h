#pragma once
// The worker side of one HTTP GET: it connects, follows at most one redirect,
// asks for credentials once through the calling thread, and hands the body on
// in pieces.
#include <windows.h>
#include <wininet.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "UniqueHandle.h"

struct InternetHandleTraits {
    using Type = HINTERNET;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::InternetCloseHandle(h); }
};
using UniqueInternetHandle = UniqueHandle<InternetHandleTraits>;

enum TransferStage { kFinding = 0, kWaiting = 1, kReceiving = 2 };

struct ParsedUrl {
    std::wstring server;
    std::wstring object;
    INTERNET_PORT port = 0;
};
// False when the text is no usable http URL.
bool ParseHttpUrl(const std::wstring& url, ParsedUrl* out);

// What the worker and the calling thread share. The worker may outlive the
// call (an abandoned transfer ends at its next network wait); it then only
// touches this.
struct TransferState {
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
    CTransfer(std::shared_ptr<TransferState> shared, ParsedUrl url, unsigned long long maxBytes, int expectedSize)
        : m_shared(std::move(shared)), m_url(std::move(url)), m_maxBytes(maxBytes), m_expectedSize(expectedSize) {}

    // Runs to its end, then marks the shared state finished.
    void Run();

private:
    void SetStage(int stage);
    bool Abandoned();
    void Open(const ParsedUrl& url);
    DWORD Send();
    void OpenFirst();
    void FollowRedirect();
    bool AskCredentials();
    bool ReadBody();
    bool Deliver(const BYTE* data, DWORD size);

    std::shared_ptr<TransferState> m_shared;
    ParsedUrl m_url;
    unsigned long long m_maxBytes;
    int m_expectedSize;
    UniqueInternetHandle m_session;
    UniqueInternetHandle m_connection;
    UniqueInternetHandle m_request;
};
