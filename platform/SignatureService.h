// The check of the update description's signature, done by the system's own cryptography.
#pragma once

#include "platform/Types.h"

#include <array>
#include <string_view>

namespace qv {

// A public key of the P-256 curve: the point's X and then Y, each 32 bytes, big-endian.
using EcPublicKey = std::array<BYTE, 64>;
// An ECDSA signature: r and then s, each 32 bytes, big-endian.
using EcSignature = std::array<BYTE, 64>;

class CSignatureService {
public:
    virtual ~CSignatureService() = default;

    // Whether signature is an ECDSA P-256 signature of the SHA-256 digest of strMessage, made with
    // the private half of key. A key that is no point of the curve verifies nothing.
    virtual bool VerifyP256(const EcPublicKey& key, std::string_view strMessage,
                            const EcSignature& signature) = 0;
};

} // namespace qv
