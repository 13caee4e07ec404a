#include "Sha256.h"

namespace {
bool Ok(NTSTATUS status) { return status >= 0; }
}  // namespace

CSha256::CSha256() {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!Ok(::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) return;
    m_algorithm.Reset(algorithm);
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (!Ok(::BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0))) return;
    m_hash.Reset(hash);
    m_ok = true;
}

bool CSha256::Update(const void* data, size_t size) {
    // CNG takes at most a ULONG at a time.
    const BYTE* at = static_cast<const BYTE*>(data);
    while (m_ok && size > 0) {
        ULONG piece = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
        m_ok = Ok(::BCryptHashData(m_hash.Get(), const_cast<BYTE*>(at), piece, 0));
        at += piece;
        size -= piece;
    }
    return m_ok;
}

bool CSha256::Finish(BYTE digest[32]) {
    bool ok = m_ok && Ok(::BCryptFinishHash(m_hash.Get(), digest, 32, 0));
    m_ok = false;
    return ok;
}

std::wstring CSha256::FinishHex() {
    BYTE digest[32];
    if (!Finish(digest)) return std::wstring();
    std::wstring hex;
    for (BYTE b : digest) {
        hex += L"0123456789abcdef"[b >> 4];
        hex += L"0123456789abcdef"[b & 15];
    }
    return hex;
}
