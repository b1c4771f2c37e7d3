// The update description's signature checked by the system's cryptography (CNG).
#pragma once

#include "platform/SignatureService.h"

namespace qv::win32 {

class CWin32Signatures : public CSignatureService {
public:
    bool VerifyP256(const EcPublicKey& key, std::string_view strMessage,
                    const EcSignature& signature) override;
};

} // namespace qv::win32
