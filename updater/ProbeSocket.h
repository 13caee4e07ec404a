#pragma once
// The probe host check: one name lookup and one ICMP echo, both blocking.
#include <windows.h>

#include <string>

class CProbeSocket {
public:
    CProbeSocket() = default;
    ~CProbeSocket() = default;
    CProbeSocket(const CProbeSocket&) = delete;
    CProbeSocket& operator=(const CProbeSocket&) = delete;

    // First IPv4 address of host in network byte order, or 0 when it does not
    // resolve. Needs the sockets library started in the process.
    DWORD ResolveHost(std::wstring host);
    // Reply time in milliseconds of one echo to address, or -1 (all bits set)
    // when no reply time was written.
    DWORD EchoReplyTime(DWORD address, DWORD timeoutMs);
};
