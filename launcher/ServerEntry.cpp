#include "ServerEntry.h"

#include <cmath>
#include <cstdio>

#include "AppBase.h"
#include "Messages.h"
#include "CodePage.h"
#include "Window.h"

CServerEntry::CServerEntry(std::wstring name, std::wstring address)
    : m_strName(std::move(name)),
      m_strAddress(std::move(address)),
      m_hConnectEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

CServerEntry::~CServerEntry() = default;

WORD CServerEntry::ResponseFromTicks(LONGLONG ticks, LONGLONG frequency) {
    if (frequency <= 0) return 1;
    LONGLONG ms = (ticks * 1000 + frequency / 2) / frequency;
    if (ms < 1) ms = 1;
    // Keep clear of the two marker values.
    if (ms > RESPONSE_MEASURING - 1) ms = RESPONSE_MEASURING - 1;
    return static_cast<WORD>(ms);
}

void CServerEntry::MeasureResponse() {
    WSADATA data;
    if (::WSAStartup(0x0101, &data) != 0) {
        CAppBase* app = CAppBase::Get();
        ::MessageBoxW(nullptr, L"WSAStartup failed\n", app ? app->GetAppName().c_str() : L"", MB_OK);
        return;
    }
    // The address text is dotted decimal; no name lookup takes place.
    std::string address = CodePage::FromWide(m_strAddress);

    LARGE_INTEGER frequency, t0, t1;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&t0);
    BOOL ok = ProbeConnect(PROBE_PORT, address.c_str());
    ::QueryPerformanceCounter(&t1);
    ::WSACleanup();

    m_wResponse = ok ? ResponseFromTicks(t1.QuadPart - t0.QuadPart, frequency.QuadPart) : RESPONSE_FAILED;
}

BOOL CServerEntry::ProbeConnect(int port, const char* address) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<u_short>(port));
    addr.sin_addr.s_addr = inet_addr(address);

    SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET) {
        std::printf("\nError opening socket. Errno: %d", ::WSAGetLastError());
        return FALSE;
    }
    m_socket = s;
    HWND owner = m_pOwnerView ? m_pOwnerView->GetHwnd() : nullptr;
    ::WSAAsyncSelect(s, owner, WM_SOCKET_NOTIFY, FD_CONNECT);

    ::OutputDebugStringW(L"before connect\n");
    ::connect(s, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr));
    ::OutputDebugStringW(L"after connect\n");

    // Socket handle values are reused at once, so a notification still queued
    // for an earlier probe's closed socket can carry this socket's value: the
    // event counts only once this connect has really been answered.
    auto answered = [s] {
        fd_set done, failed;
        FD_ZERO(&done);
        FD_ZERO(&failed);
        FD_SET(s, &done);
        FD_SET(s, &failed);
        timeval now{0, 0};
        return ::select(0, nullptr, &done, &failed, &now) > 0;
    };
    DWORD start = ::GetTickCount();
    BOOL ok = FALSE;
    for (;;) {
        DWORD elapsed = ::GetTickCount() - start;
        DWORD wait = ::WaitForSingleObject(m_hConnectEvent.Get(), elapsed < PROBE_WAIT_MS ? PROBE_WAIT_MS - elapsed : 0);
        if (wait != WAIT_OBJECT_0) break;
        if (answered()) {
            ok = TRUE;
            break;
        }
        // Not ours. Checked again after the reset, so a real answer signalled in
        // between is not lost.
        ::ResetEvent(m_hConnectEvent.Get());
        if (answered()) {
            ok = TRUE;
            break;
        }
    }
    m_socket = INVALID_SOCKET;
    ::closesocket(s);
    return ok;
}
