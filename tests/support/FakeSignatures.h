// Signatures of the tests' own in place of the system's ECDSA P-256: a signature is a digest of the
// key and the text, so that a changed text, a changed signature or another key's signature fails
// as it would with the real one. The real verification is the Windows binding's, proven end to end
// with descriptions that scripts/sign-update.sh signs.
#pragma once

#include "platform/SignatureService.h"
#include "update/UpdateSignature.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace qv::test {

// FNV-1a over the key and the text, spread over the 64 bytes of a signature.
inline EcSignature Digest(const EcPublicKey& key, std::string_view strText) {
    std::uint64_t nHash = 0xcbf29ce484222325u;
    for (const BYTE byte : key)
        nHash = (nHash ^ byte) * 0x100000001b3u;
    for (const char c : strText)
        nHash = (nHash ^ static_cast<BYTE>(c)) * 0x100000001b3u;
    EcSignature digest{};
    for (BYTE& byte : digest)
        byte = static_cast<BYTE>((nHash = (nHash ^ 0x5A) * 0x100000001b3u) >> 56);
    return digest;
}

class CFakeSignatures : public CSignatureService {
public:
    bool VerifyP256(const EcPublicKey& key, std::string_view strMessage,
                    const EcSignature& signature) override {
        return signature == Digest(key, strMessage);
    }
};

class CTestSigningKey {
public:
    explicit CTestSigningKey(BYTE nSeed) { m_publicKey.fill(nSeed); }

    const EcPublicKey& PublicKey() const { return m_publicKey; }
    // strText and its signature trailer, as scripts/sign-update.sh writes them.
    std::string Signed(std::string_view strText) const {
        std::string strSigned = std::string(strText) + std::string(UPDATE_SIGNATURE_LABEL);
        char szByte[3] = {};
        for (const BYTE byte : Digest(m_publicKey, strText)) {
            std::snprintf(szByte, sizeof szByte, "%02x", byte);
            strSigned += szByte;
        }
        return strSigned + "\r\n";
    }

private:
    EcPublicKey m_publicKey{};
};

// The key the tests' update configuration carries.
inline const CTestSigningKey& TestKey() {
    static const CTestSigningKey key(0x5A);
    return key;
}

} // namespace qv::test
