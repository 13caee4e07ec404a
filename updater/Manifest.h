#pragma once
// The update manifest "version.ini", parsed once from the bytes that were
// fetched (and, with a publisher key, verified). Keys and sections compare
// without regard to case and values read as the profile functions read them,
// so the manifests the update server has always published keep their meaning.
#include <string>
#include <vector>

class CManifest {
public:
    struct Entry {
        std::wstring name;     // "Filename", at most 511 characters
        std::wstring version;  // "Fileversion", at most 511 characters
        int size = 0;          // "Filesize"; 0 when absent
        bool hasSize = false;  // "Filesize" present with a value
        std::wstring hash;     // "Filehash", lower-case hex as written by the publisher
    };

    // More entries than this make the manifest unusable.
    static constexpr int kMaxTotal = 1000;

    // False for a "Total" above kMaxTotal; a missing or non-positive Total is
    // an empty manifest, not an error. Entries 1 to Total, in order.
    static bool Parse(const std::string& bytes, CManifest* out);

    int m_nTotal = 0;
    std::wstring m_strRelease;  // "[Count] Release" as written; empty when absent
    std::vector<Entry> m_entries;
};
