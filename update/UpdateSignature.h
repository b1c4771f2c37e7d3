// The signed update description. The maker signs the text with a private key and appends one
// line, the trailer, that carries the signature:
//
//     <the text: the date MM/DD/YY first, then the news, ending with a line end>
//     Quorvex-Signature: <128 hex digits: r and then s of an ECDSA P-256/SHA-256 signature>
//
// The trailer may end with a line end of its own. The signed text is every byte before the
// trailer, its last line end included, and it is exactly what the user is shown.
// scripts/sign-update.sh writes the trailer.
#pragma once

#include "platform/SignatureService.h"

#include <optional>
#include <string_view>

namespace qv {

inline constexpr std::string_view UPDATE_SIGNATURE_LABEL = "Quorvex-Signature: ";

struct SignedText {
    std::string_view strText;
    EcSignature signature;
};

// The text and the signature of a description; nullopt when it carries no well-formed trailer
// on a line of its own after some text.
std::optional<SignedText> SplitSignedText(std::string_view strBody);

// A public key written as the 65 bytes of an uncompressed point (04, X, Y) in hex digits, the
// form the build takes it in.
std::optional<EcPublicKey> ParsePublicKey(std::string_view strHex);

} // namespace qv
