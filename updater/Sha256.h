#pragma once
// SHA-256 over bytes that arrive in pieces, through the platform's CNG.
#include <windows.h>
#include <bcrypt.h>

#include <string>

#include "UniqueHandle.h"

struct AlgorithmHandleTraits {
    using Type = BCRYPT_ALG_HANDLE;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::BCryptCloseAlgorithmProvider(h, 0); }
};
struct HashHandleTraits {
    using Type = BCRYPT_HASH_HANDLE;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::BCryptDestroyHash(h); }
};
struct KeyHandleTraits {
    using Type = BCRYPT_KEY_HANDLE;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::BCryptDestroyKey(h); }
};
using UniqueAlgorithmHandle = UniqueHandle<AlgorithmHandleTraits>;
using UniqueHashHandle = UniqueHandle<HashHandleTraits>;
using UniqueKeyHandle = UniqueHandle<KeyHandleTraits>;

class CSha256 {
public:
    CSha256();
    // False once CNG failed; the digest is then never produced.
    bool Update(const void* data, size_t size);
    // The 32-byte digest; false when any step failed. Ends the hash.
    bool Finish(BYTE digest[32]);
    // Lower-case hex of Finish, empty on failure.
    std::wstring FinishHex();

private:
    UniqueAlgorithmHandle m_algorithm;
    UniqueHashHandle m_hash;
    bool m_ok = false;
};
