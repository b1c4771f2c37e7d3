// ECDSA P-256 over OpenSSL's libcrypto: the verifier that stands where the program has the
// system's cryptography, and a key of the tests' own that signs descriptions. The release key's
// private half is never here.
#pragma once

#include "platform/SignatureService.h"

#include <memory>
#include <string>
#include <string_view>

namespace qv::test {

class COpenSslSignatures : public CSignatureService {
public:
    bool VerifyP256(const EcPublicKey& key, std::string_view strMessage,
                    const EcSignature& signature) override;
};

class CTestSigningKey {
public:
    CTestSigningKey(); // a new key
    ~CTestSigningKey();
    CTestSigningKey(const CTestSigningKey&) = delete;
    CTestSigningKey& operator=(const CTestSigningKey&) = delete;

    const EcPublicKey& PublicKey() const { return m_publicKey; }
    EcSignature Sign(std::string_view strText) const;
    // strText and its signature trailer, as scripts/sign-update.sh writes them.
    std::string Signed(std::string_view strText) const;

private:
    struct Key;
    std::unique_ptr<Key> m_pKey;
    EcPublicKey m_publicKey{};
};

// The tests' key, made once for the process.
const CTestSigningKey& TestKey();

} // namespace qv::test
