#pragma once
// One server of a list and its response-time probe: a timed, non-blocking TCP
// connect to port 6112 that ends when the owner view's window receives the
// socket's FD_CONNECT notification, or after 1000 ms.
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <string>

#include "UniqueHandle.h"

class CWindow;

constexpr WORD RESPONSE_NOT_MEASURED = 0;
constexpr WORD RESPONSE_MEASURING = 0xFFFE;
constexpr WORD RESPONSE_FAILED = 0xFFFF;
constexpr int PROBE_PORT = 6112;
constexpr DWORD PROBE_WAIT_MS = 1000;

class CServerEntry {
public:
    CServerEntry(std::wstring name, std::wstring address);
    virtual ~CServerEntry();
    CServerEntry(const CServerEntry&) = delete;
    CServerEntry& operator=(const CServerEntry&) = delete;

    // Runs on the sweep thread; the outcome is in m_wResponse. A signalled
    // stopEvent ends the probe under way at once, as a failure.
    void MeasureResponse(HANDLE stopEvent = nullptr);
    // TRUE when the server accepted the connection within the wait.
    BOOL ProbeConnect(int port, const char* address, HANDLE stopEvent = nullptr);

    // Called on the user-interface thread when the probed socket's connect
    // notification is handled: takes the end time, then ends the wait.
    void OnConnectNotify();

    // Reads IPv4 text as the system's inet_addr does (octal, hexadecimal,
    // fewer than four parts). False for what it rejects, host names included,
    // and for the zero and broadcast addresses.
    static bool ParseAddress(const std::string& text, in_addr* out);
    // Elapsed performance-counter ticks as whole milliseconds, at least 1 so
    // that a measured answer never reads as "not measured".
    static WORD ResponseFromTicks(LONGLONG ticks, LONGLONG frequency);

    std::wstring m_strName;
    std::wstring m_strAddress;
    std::atomic<WORD> m_wResponse{RESPONSE_NOT_MEASURED};
    CWindow* m_pOwnerView = nullptr;
    // Manual reset, made by the first probe; set when its connect is answered.
    UniqueKernelHandle m_hConnectEvent;
    // The socket of the probe under way, so a late notification of an earlier
    // socket is not taken for this probe's answer.
    std::atomic<SOCKET> m_socket{INVALID_SOCKET};

private:
    // Performance-counter readings: right before connect(), and when the
    // notification was handled.
    LONGLONG m_startTicks = 0;
    std::atomic<LONGLONG> m_endTicks{0};
};
