#pragma once
// The games' gateway list ("Battle.net Gateways"): the server list that the
// game versions players run today read. Its strings are a format version
// ("1001"), the selected gateway's 1-based position in two digits, then per
// gateway its address, its time zone (hours west of UTC) and its shown name.
// Pure functions over the value's bytes (UTF-16, as REG_MULTI_SZ holds it);
// the registry is the caller's.
#include <winsock2.h>
#include <windows.h>

#include <string>
#include <vector>

class CGatewayList {
public:
    struct Gateway {
        std::wstring address, zone, name;
    };
    // What a launch does to the value, decided from what it holds now.
    struct Update {
        bool write = false;     // false: the list already selects the server
        bool keepCopy = false;  // the old bytes are damaged: kept beside the list before it is replaced
        std::string bytes;      // the new value, REG_MULTI_SZ
    };

    static constexpr size_t kMaxBytes = 64 * 1024;
    static const wchar_t kValueName[];
    static const wchar_t kKoreaZone[];

    // Reads a value's bytes; false when they are damaged (an odd byte count,
    // no terminator, an empty string inside, a bad header, gateways not in
    // threes, over kMaxBytes), and the list is then left empty.
    bool Parse(const std::string& bytes);
    std::string Serialise() const;
    // Selects the gateway with the server's address, renamed to name, or a new
    // one appended; false when none can be (no address, 99 gateways taken).
    bool Select(const std::wstring& address, const std::wstring& name);
    // The selected gateway, or null when there is none.
    const Gateway* Selected() const;

    // Two addresses as the system reads them ("127.0.0.010" is 127.0.0.8);
    // what is not an IPv4 address (a host name) by its text, case aside.
    static bool SameAddress(const std::wstring& a, const std::wstring& b);
    // The decision of a launch: present and type describe the value as it is.
    // False when the server cannot be selected.
    static bool Plan(bool present, DWORD type, const std::string& bytes, const std::wstring& address,
                     const std::wstring& name, Update* out);
    // The name of the n-th copy kept of a damaged list (1, 2, ...).
    static std::wstring CopyName(int n);

    std::vector<Gateway> m_gateways;
    int m_selected = 0;  // 1-based; 0 when none
};
