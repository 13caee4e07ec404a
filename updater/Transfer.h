#pragma once
// The worker side of one HTTP GET, on a socket of its own: it finds the proxy
// of the user's settings, connects, follows at most one redirect, and hands the
// body on in pieces. Every wait is short and the shared state is looked at
// between waits, so a transfer the calling side gave up ends at once; what the
// server sends before the body is bounded.
#include <winsock2.h>
#include <windows.h>

#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>

#include "UniqueHandle.h"

// A fetch that cannot go on: 1 for an unusable URL or a server that asks for
// credentials, 2 for a redirect that cannot be followed, 3 for an answer that is not the file.
class CTearException : public std::exception {
public:
    explicit CTearException(int error) : m_nError(error) {}
    const char* what() const noexcept override { return "download failed"; }
    int m_nError;
};

// A single wait on the network (connect, send, the next bytes) ends after this long.
constexpr DWORD kNetworkWaitMs = 10000;
// Status line and headers together may not be longer.
constexpr size_t kMaxResponseHeadBytes = 16 * 1024;

enum TransferStage { kFinding = 0, kWaiting = 1, kReceiving = 2 };

struct ParsedUrl {
    std::wstring server;
    std::wstring object;
    unsigned short port = 0;
};
// False when the text is no usable http URL.
bool ParseHttpUrl(const std::wstring& url, ParsedUrl* out);

// The proxy that reaches server, from the user's settings: proxies as the
// platform keeps them ("host:port", or "http=host:port;ftp=..."), bypass its
// list of names ("*.example;<local>"). False for a direct connection.
bool ProxyFor(const std::wstring& proxies, const std::wstring& bypass, const std::wstring& server, ParsedUrl* proxy);

struct ResponseHead {
    int status = 0;
    bool hasLength = false;
    unsigned long long length = 0;
    bool hasLocation = false;
    std::string location;
};
// Reads a status line and its headers (without the blank line that ends
// them); false when it is no HTTP answer or its length cannot be read. The
// Location header counts only when written exactly so.
bool ParseResponseHead(const std::string& head, ResponseHead* out);

// What the worker and the calling thread share. The worker may outlive the
// call; it then only touches this, and ends at its next wait.
struct TransferState {
    std::mutex lock;
    std::condition_variable changed;
    UniqueKernelHandle wake{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    std::deque<std::string> pieces;
    size_t queued = 0;
    int stage = kFinding;
    bool finished = false;
    bool complete = false;
    bool abandoned = false;

    void Signal() { ::SetEvent(wake.Get()); }
};

struct SocketTraits {
    using Type = SOCKET;
    static Type Invalid() { return INVALID_SOCKET; }
    static void Close(Type s) { ::closesocket(s); }
};
using UniqueSocket = UniqueHandle<SocketTraits>;

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
    // Waits until the socket can be written (or read); throws when the
    // transfer was given up or the wait took kNetworkWaitMs.
    void WaitFor(bool write);
    void Connect(const ParsedUrl& target);
    // Sends the request for url and reads the answer's head; the body's first bytes stay in m_pending.
    ResponseHead Request(const ParsedUrl& url);
    bool ReadBody(const ResponseHead& head);
    bool Deliver(const char* data, size_t size);

    std::shared_ptr<TransferState> m_shared;
    ParsedUrl m_url;
    unsigned long long m_maxBytes;
    int m_expectedSize;
    UniqueSocket m_socket;
    std::string m_pending;
};
