#include "platform/win32/Win32Signatures.h"

#include "platform/win32/Win32.h"

#include <bcrypt.h>

#include <cstring>
#include <optional>
#include <vector>

namespace qv::win32 {
namespace {

constexpr ULONG SHA256_SIZE = 32;

bool Succeeded(NTSTATUS status) {
    return status >= 0;
}

// An algorithm provider, closed on every way out.
class CAlgorithm {
public:
    explicit CAlgorithm(const wchar_t* pszAlgorithm) {
        if (!Succeeded(::BCryptOpenAlgorithmProvider(&m_hAlgorithm, pszAlgorithm, nullptr, 0)))
            m_hAlgorithm = nullptr;
    }
    ~CAlgorithm() {
        if (m_hAlgorithm)
            ::BCryptCloseAlgorithmProvider(m_hAlgorithm, 0);
    }
    CAlgorithm(const CAlgorithm&) = delete;
    CAlgorithm& operator=(const CAlgorithm&) = delete;

    BCRYPT_ALG_HANDLE Handle() const { return m_hAlgorithm; }

private:
    BCRYPT_ALG_HANDLE m_hAlgorithm = nullptr;
};

// The SHA-256 digest, by the calls Windows 7 already has.
std::optional<std::vector<UCHAR>> Sha256(std::string_view strMessage) {
    const CAlgorithm sha256(BCRYPT_SHA256_ALGORITHM);
    BCRYPT_HASH_HANDLE hHash = nullptr;
    if (!sha256.Handle() ||
        !Succeeded(::BCryptCreateHash(sha256.Handle(), &hHash, nullptr, 0, nullptr, 0, 0)))
        return std::nullopt;
    std::vector<UCHAR> aDigest(SHA256_SIZE);
    // The description is bounded far below what one call takes.
    const bool bDone = Succeeded(::BCryptHashData(
                           hHash, reinterpret_cast<PUCHAR>(const_cast<char*>(strMessage.data())),
                           static_cast<ULONG>(strMessage.size()), 0)) &&
                       Succeeded(::BCryptFinishHash(hHash, aDigest.data(), SHA256_SIZE, 0));
    ::BCryptDestroyHash(hHash);
    if (!bDone)
        return std::nullopt;
    return aDigest;
}

} // namespace

bool CWin32Signatures::VerifyP256(const EcPublicKey& key, std::string_view strMessage,
                                  const EcSignature& signature) {
    auto aDigest = Sha256(strMessage);
    const CAlgorithm ecdsa(BCRYPT_ECDSA_P256_ALGORITHM);
    if (!aDigest || !ecdsa.Handle())
        return false;
    std::vector<UCHAR> aBlob(sizeof(BCRYPT_ECCKEY_BLOB) + key.size());
    const BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC,
                                    static_cast<ULONG>(key.size() / 2)};
    std::memcpy(aBlob.data(), &header, sizeof header);
    std::memcpy(aBlob.data() + sizeof header, key.data(), key.size());
    BCRYPT_KEY_HANDLE hKey = nullptr;
    if (!Succeeded(::BCryptImportKeyPair(ecdsa.Handle(), nullptr, BCRYPT_ECCPUBLIC_BLOB, &hKey,
                                         aBlob.data(), static_cast<ULONG>(aBlob.size()), 0)))
        return false;
    EcSignature aSignature = signature;
    const NTSTATUS status =
        ::BCryptVerifySignature(hKey, nullptr, aDigest->data(), static_cast<ULONG>(aDigest->size()),
                                aSignature.data(), static_cast<ULONG>(aSignature.size()), 0);
    ::BCryptDestroyKey(hKey);
    return Succeeded(status);
}

} // namespace qv::win32
