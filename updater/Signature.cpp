#include "Signature.h"

#include "Sha256.h"

namespace {

bool Ok(NTSTATUS status) { return status >= 0; }

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads one DER INTEGER at der[at] into out (32 bytes, right-aligned).
bool ReadInteger(const std::vector<BYTE>& der, size_t& at, BYTE* out) {
    if (at + 2 > der.size() || der[at] != 0x02) return false;
    size_t length = der[at + 1];
    at += 2;
    // Short-form lengths only: an integer of a P-256 signature is at most 33 bytes.
    if (length == 0 || length > 33 || at + length > der.size()) return false;
    const BYTE* value = &der[at];
    at += length;
    // A negative value is never part of a signature.
    if (value[0] & 0x80) return false;
    if (value[0] == 0 && length > 1) {
        // The leading zero is only there to keep the value positive.
        if (!(value[1] & 0x80)) return false;
        ++value;
        --length;
    }
    if (length > 32) return false;
    memset(out, 0, 32);
    memcpy(out + 32 - length, value, length);
    return true;
}

}  // namespace

std::vector<BYTE> CSignature::FromHex(const std::string& hex) {
    std::vector<BYTE> bytes;
    if (hex.size() % 2) return bytes;
    for (size_t i = 0; i < hex.size(); i += 2) {
        int high = HexDigit(hex[i]), low = HexDigit(hex[i + 1]);
        if (high < 0 || low < 0) return {};
        bytes.push_back(static_cast<BYTE>(high * 16 + low));
    }
    return bytes;
}

bool CSignature::Sha256(const std::vector<BYTE>& data, BYTE digest[32]) {
    CSha256 hash;
    return hash.Update(data.data(), data.size()) && hash.Finish(digest);
}

bool CSignature::DerToRaw(const std::vector<BYTE>& der, BYTE raw[64]) {
    // SEQUENCE { INTEGER r, INTEGER s }: at most 2 + 2 * 35 bytes, short-form length.
    if (der.size() < 8 || der.size() > 72 || der[0] != 0x30 || der[1] != der.size() - 2) return false;
    size_t at = 2;
    if (!ReadInteger(der, at, raw) || !ReadInteger(der, at, raw + 32)) return false;
    return at == der.size();
}

bool CSignature::Verify(const std::vector<BYTE>& publicKey, const std::vector<BYTE>& message,
                        const std::vector<BYTE>& der) {
    if (publicKey.size() != 65 || publicKey[0] != 0x04) return false;
    BYTE raw[64];
    BYTE digest[32];
    if (!DerToRaw(der, raw) || !Sha256(message, digest)) return false;

    std::vector<BYTE> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 64);
    auto* header = reinterpret_cast<BCRYPT_ECCKEY_BLOB*>(blob.data());
    header->dwMagic = BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
    header->cbKey = 32;
    memcpy(blob.data() + sizeof(BCRYPT_ECCKEY_BLOB), publicKey.data() + 1, 64);

    BCRYPT_ALG_HANDLE algorithmHandle = nullptr;
    if (!Ok(::BCryptOpenAlgorithmProvider(&algorithmHandle, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0))) return false;
    UniqueAlgorithmHandle algorithm(algorithmHandle);
    BCRYPT_KEY_HANDLE keyHandle = nullptr;
    if (!Ok(::BCryptImportKeyPair(algorithm.Get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, &keyHandle, blob.data(),
                                  static_cast<ULONG>(blob.size()), 0)))
        return false;
    UniqueKeyHandle key(keyHandle);
    return ::BCryptVerifySignature(key.Get(), nullptr, digest, 32, raw, 64, 0) == 0;
}
