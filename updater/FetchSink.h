#pragma once
// Where a fetched body goes: piece by piece, on the user-interface thread, in
// the order the bytes arrived.
#include <windows.h>

#include <string>

class IFetchSink {
public:
    virtual ~IFetchSink() = default;
    // False stops the fetch; it then fails.
    virtual bool Write(const BYTE* data, size_t size) = 0;
};

// A body kept in memory (the manifest and its signature).
class CMemorySink : public IFetchSink {
public:
    bool Write(const BYTE* data, size_t size) override {
        m_bytes.append(reinterpret_cast<const char*>(data), size);
        return true;
    }
    const std::string& Bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};
