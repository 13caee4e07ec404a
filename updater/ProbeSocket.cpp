#include "ProbeSocket.h"

#include <winsock2.h>
#include <iphlpapi.h>
#include <icmpapi.h>

#include "CodePage.h"

DWORD CProbeSocket::ResolveHost(std::wstring host) {
    std::string name = CodePage::FromWide(host, CP_ACP);
    hostent* entry = ::gethostbyname(name.c_str());
    if (!entry || !entry->h_addr_list || !entry->h_addr_list[0]) return 0;
    DWORD address = 0;
    memcpy(&address, entry->h_addr_list[0], sizeof(address));
    return address;
}

DWORD CProbeSocket::EchoReplyTime(DWORD address, DWORD timeoutMs) {
    // Room for one reply record and the 8 bytes the echo function wants beyond it.
    // (28 bytes of record in a 32-bit program, 40 in a 64-bit one.)
    alignas(ICMP_ECHO_REPLY) BYTE reply[sizeof(ICMP_ECHO_REPLY) + 8] = {};
    auto* record = reinterpret_cast<ICMP_ECHO_REPLY*>(reply);
    record->RoundTripTime = static_cast<ULONG>(-1);
    HANDLE icmp = ::IcmpCreateFile();
    ::IcmpSendEcho(icmp, address, nullptr, 0, nullptr, reply, sizeof(reply), timeoutMs);
    if (icmp != INVALID_HANDLE_VALUE) ::IcmpCloseHandle(icmp);
    return record->RoundTripTime;
}
