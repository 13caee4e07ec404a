#pragma once
// The publisher's signature over a release: SHA-256 and ECDSA P-256 through
// the platform's own cryptography (CNG).
#include <windows.h>

#include <string>
#include <vector>

class CSignature {
public:
    // Bytes of hex text (either case); empty for odd length or a non-hex digit.
    static std::vector<BYTE> FromHex(const std::string& hex);
    // SHA-256 of bytes; false when CNG cannot hash.
    static bool Sha256(const std::vector<BYTE>& data, BYTE digest[32]);
    // The 64 bytes r||s of a DER ECDSA-Sig-Value (SEQUENCE of two INTEGERs),
    // each at most 32 significant bytes; false for anything malformed.
    static bool DerToRaw(const std::vector<BYTE>& der, BYTE raw[64]);
    // True when der is a valid signature by the 65-byte uncompressed P-256
    // point publicKey over the SHA-256 of message.
    static bool Verify(const std::vector<BYTE>& publicKey, const std::vector<BYTE>& message,
                       const std::vector<BYTE>& der);
};
