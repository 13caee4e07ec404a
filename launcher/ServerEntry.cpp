#include "ServerEntry.h"

#include <cctype>
#include <cstdio>

#include "AppBase.h"
#include "CodePage.h"
#include "Messages.h"
#include "UniqueHandle.h"
#include "Window.h"

namespace {

struct SocketTraits {
    using Type = SOCKET;
    static Type Invalid() { return INVALID_SOCKET; }
    static void Close(Type s) { ::closesocket(s); }
};

// What became of a started connect, as select sees it at this moment.
enum class ConnectState { Pending, Accepted, Failed };

ConnectState StateOf(SOCKET s) {
    fd_set done, failed;
    FD_ZERO(&done);
    FD_ZERO(&failed);
    FD_SET(s, &done);
    FD_SET(s, &failed);
    timeval now{0, 0};
    if (::select(0, nullptr, &done, &failed, &now) <= 0) return ConnectState::Pending;
    return FD_ISSET(s, &done) ? ConnectState::Accepted : ConnectState::Failed;
}

LONGLONG Now() {
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return t.QuadPart;
}

}  // namespace

CServerEntry::CServerEntry(std::wstring name, std::wstring address)
    : m_strName(std::move(name)), m_strAddress(std::move(address)) {}

CServerEntry::~CServerEntry() = default;

bool CServerEntry::ParseAddress(const std::string& text, in_addr* out) {
    // The system's reading (inet_addr): one to four numbers, each decimal,
    // octal after a leading 0 or hexadecimal after 0x; the last one fills all
    // the bytes left. The games read "Server List" that way, so the probe does too.
    unsigned long parts[4] = {};
    int count = 0;
    size_t i = 0;
    const size_t n = text.size();
    for (;;) {
        if (count == 4 || i == n || !isdigit(static_cast<unsigned char>(text[i]))) return false;
        unsigned base = 10;
        if (text[i] == '0') {
            base = 8;
            ++i;
            if (i < n && (text[i] == 'x' || text[i] == 'X')) {
                base = 16;
                ++i;
                if (i == n || !isxdigit(static_cast<unsigned char>(text[i]))) return false;
            }
        }
        unsigned long long value = 0;
        for (; i < n; ++i) {
            char c = text[i];
            unsigned digit;
            if (c >= '0' && c <= '9')
                digit = static_cast<unsigned>(c - '0');
            else if (base == 16 && isxdigit(static_cast<unsigned char>(c)))
                digit = static_cast<unsigned>(tolower(c) - 'a' + 10);
            else
                break;
            if (digit >= base) return false;
            value = value * base + digit;
            if (value > 0xFFFFFFFFull) return false;
        }
        parts[count++] = static_cast<unsigned long>(value);
        if (i < n && text[i] == '.') {
            ++i;
            continue;
        }
        break;
    }
    // As in inet_addr, a blank ends the address and whatever follows it is ignored.
    if (i != n && !isspace(static_cast<unsigned char>(text[i]))) return false;
    // The last part takes the bytes the others leave.
    static const unsigned long kLastMax[] = {0xFFFFFFFFul, 0xFFFFFFul, 0xFFFFul, 0xFFul};
    unsigned long value = 0;
    for (int k = 0; k < count - 1; ++k) {
        if (parts[k] > 0xFF) return false;
        value |= parts[k] << (24 - 8 * k);
    }
    if (parts[count - 1] > kLastMax[count - 1]) return false;
    value |= parts[count - 1];
    // No server lives there: the broadcast address is also inet_addr's failure value.
    if (value == 0 || value == 0xFFFFFFFFul) return false;
    out->s_addr = htonl(value);
    return true;
}

WORD CServerEntry::ResponseFromTicks(LONGLONG ticks, LONGLONG frequency) {
    if (frequency <= 0) return 1;
    LONGLONG ms = (ticks * 1000 + frequency / 2) / frequency;
    if (ms < 1) ms = 1;
    // Keep clear of the two marker values.
    if (ms > RESPONSE_MEASURING - 1) ms = RESPONSE_MEASURING - 1;
    return static_cast<WORD>(ms);
}

void CServerEntry::OnConnectNotify() {
    // The end time is taken here, before the sweep thread wakes, so that the
    // thread's own wake-up and clean-up are not counted as network time.
    m_endTicks = Now();
    ::SetEvent(m_hConnectEvent.Get());
}

void CServerEntry::MeasureResponse(HANDLE stopEvent) {
    WSADATA data;
    if (::WSAStartup(0x0101, &data) != 0) {
        CAppBase* app = CAppBase::Get();
        ::MessageBoxW(nullptr, L"WSAStartup failed\n", app ? app->GetAppName().c_str() : L"", MB_OK);
        return;
    }
    std::string address = CodePage::FromWide(m_strAddress);
    BOOL ok = ProbeConnect(PROBE_PORT, address.c_str(), stopEvent);
    ::WSACleanup();

    if (!ok) {
        m_wResponse = RESPONSE_FAILED;
        return;
    }
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    LONGLONG end = m_endTicks;
    if (end < m_startTicks) end = Now();
    m_wResponse = ResponseFromTicks(end - m_startTicks, frequency.QuadPart);
}

BOOL CServerEntry::ProbeConnect(int port, const char* address, HANDLE stopEvent) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<u_short>(port));
    // Text the system reads as no address, or as the zero or broadcast
    // address, fails here with nothing sent.
    if (!ParseAddress(address, &addr.sin_addr)) return FALSE;
    // Made for the probe, not with the entry: a list of thousands loads
    // without as many kernel objects (each a round trip under Wine).
    if (!m_hConnectEvent) m_hConnectEvent.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));

    UniqueHandle<SocketTraits> probe(::socket(AF_INET, SOCK_STREAM, 0));
    SOCKET s = probe.Get();
    if (!probe) {
        std::printf("\nError opening socket. Errno: %d", ::WSAGetLastError());
        return FALSE;
    }
    m_socket = s;
    HWND owner = m_pOwnerView ? m_pOwnerView->GetHwnd() : nullptr;
    ::WSAAsyncSelect(s, owner, WM_SOCKET_NOTIFY, FD_CONNECT);

    ::OutputDebugStringW(L"before connect\n");
    m_endTicks = 0;
    m_startTicks = Now();
    ::connect(s, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr));
    ::OutputDebugStringW(L"after connect\n");

    // Socket handle values are reused at once, so a notification still queued
    // for an earlier probe's closed socket can carry this socket's value: the
    // event counts only once this connect has really ended. Only an accepted
    // connection is an answer; a refusal, reset or unreachable host is a failure.
    HANDLE handles[2] = {m_hConnectEvent.Get(), stopEvent};
    DWORD count = stopEvent ? 2 : 1;
    DWORD start = ::GetTickCount();
    BOOL ok = FALSE;
    for (;;) {
        DWORD elapsed = ::GetTickCount() - start;
        DWORD wait = ::WaitForMultipleObjects(count, handles, FALSE, elapsed < PROBE_WAIT_MS ? PROBE_WAIT_MS - elapsed : 0);
        if (wait != WAIT_OBJECT_0) break;  // time-out, stop request or failed wait
        ConnectState state = StateOf(s);
        if (state == ConnectState::Pending) {
            // Not ours. Checked again after the reset, so a real answer signalled in
            // between is not lost.
            ::ResetEvent(m_hConnectEvent.Get());
            state = StateOf(s);
        }
        if (state != ConnectState::Pending) {
            ok = state == ConnectState::Accepted;
            break;
        }
    }
    // Forgotten before the socket closes: its value may be reused at once.
    m_socket = INVALID_SOCKET;
    return ok;
}
