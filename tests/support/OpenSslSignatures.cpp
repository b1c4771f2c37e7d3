#include "tests/support/OpenSslSignatures.h"

#include "update/UpdateSignature.h"

#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <cstdio>
#include <stdexcept>
#include <vector>

namespace qv::test {
namespace {

constexpr std::size_t HALF = 32;

template <class T, void (*Free)(T*)> struct Deleter {
    void operator()(T* p) const { Free(p); }
};
using PkeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using MdCtxPtr = std::unique_ptr<EVP_MD_CTX, Deleter<EVP_MD_CTX, EVP_MD_CTX_free>>;
using SigPtr = std::unique_ptr<ECDSA_SIG, Deleter<ECDSA_SIG, ECDSA_SIG_free>>;

// The key as a SubjectPublicKeyInfo: the fixed DER head of a P-256 point, then 04, X and Y.
PkeyPtr PublicPkey(const EcPublicKey& key) {
    std::vector<unsigned char> aInfo{0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48,
                                     0xce, 0x3d, 0x02, 0x01, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                     0xce, 0x3d, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00, 0x04};
    aInfo.insert(aInfo.end(), key.begin(), key.end());
    const unsigned char* pInfo = aInfo.data();
    return PkeyPtr(d2i_PUBKEY(nullptr, &pInfo, static_cast<long>(aInfo.size())));
}

} // namespace

bool COpenSslSignatures::VerifyP256(const EcPublicKey& key, std::string_view strMessage,
                                    const EcSignature& signature) {
    const PkeyPtr pKey = PublicPkey(key);
    SigPtr pSignature(ECDSA_SIG_new());
    BIGNUM* pR = BN_bin2bn(signature.data(), HALF, nullptr);
    BIGNUM* pS = BN_bin2bn(signature.data() + HALF, HALF, nullptr);
    if (!pKey || !pSignature || ECDSA_SIG_set0(pSignature.get(), pR, pS) != 1) {
        BN_free(pR);
        BN_free(pS);
        return false;
    }
    unsigned char* pDer = nullptr;
    const int nDer = i2d_ECDSA_SIG(pSignature.get(), &pDer);
    const MdCtxPtr pContext(EVP_MD_CTX_new());
    const bool bValid =
        nDer > 0 && pContext &&
        EVP_DigestVerifyInit(pContext.get(), nullptr, EVP_sha256(), nullptr, pKey.get()) == 1 &&
        EVP_DigestVerify(pContext.get(), pDer, static_cast<std::size_t>(nDer),
                         reinterpret_cast<const unsigned char*>(strMessage.data()),
                         strMessage.size()) == 1;
    OPENSSL_free(pDer);
    return bValid;
}

struct CTestSigningKey::Key {
    PkeyPtr pKey;
};

CTestSigningKey::CTestSigningKey() : m_pKey(std::make_unique<Key>()) {
    m_pKey->pKey.reset(EVP_EC_gen("P-256"));
    unsigned char aPoint[1 + 2 * HALF] = {};
    std::size_t nSize = 0;
    if (!m_pKey->pKey ||
        EVP_PKEY_get_octet_string_param(m_pKey->pKey.get(), OSSL_PKEY_PARAM_PUB_KEY, aPoint,
                                        sizeof aPoint, &nSize) != 1 ||
        nSize != sizeof aPoint)
        throw std::runtime_error("no P-256 test key");
    std::copy(aPoint + 1, aPoint + sizeof aPoint, m_publicKey.begin());
}

CTestSigningKey::~CTestSigningKey() = default;

EcSignature CTestSigningKey::Sign(std::string_view strText) const {
    const MdCtxPtr pContext(EVP_MD_CTX_new());
    std::vector<unsigned char> aDer(128);
    std::size_t nDer = aDer.size();
    if (!pContext ||
        EVP_DigestSignInit(pContext.get(), nullptr, EVP_sha256(), nullptr, m_pKey->pKey.get()) !=
            1 ||
        EVP_DigestSign(pContext.get(), aDer.data(), &nDer,
                       reinterpret_cast<const unsigned char*>(strText.data()), strText.size()) != 1)
        throw std::runtime_error("signing failed");
    const unsigned char* pDer = aDer.data();
    const SigPtr pSignature(d2i_ECDSA_SIG(nullptr, &pDer, static_cast<long>(nDer)));
    EcSignature signature{};
    if (!pSignature ||
        BN_bn2binpad(ECDSA_SIG_get0_r(pSignature.get()), signature.data(), HALF) != HALF ||
        BN_bn2binpad(ECDSA_SIG_get0_s(pSignature.get()), signature.data() + HALF, HALF) != HALF)
        throw std::runtime_error("signature out of range");
    return signature;
}

std::string CTestSigningKey::Signed(std::string_view strText) const {
    std::string strSigned(strText);
    strSigned += UPDATE_SIGNATURE_LABEL;
    char szByte[3] = {};
    for (const BYTE byte : Sign(strText)) {
        std::snprintf(szByte, sizeof szByte, "%02x", byte);
        strSigned += szByte;
    }
    return strSigned + "\r\n";
}

const CTestSigningKey& TestKey() {
    static const CTestSigningKey key;
    return key;
}

} // namespace qv::test
