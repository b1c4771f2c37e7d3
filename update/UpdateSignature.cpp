#include "update/UpdateSignature.h"

#include <cstddef>

namespace qv {
namespace {

constexpr std::string_view UNCOMPRESSED_POINT = "04";

std::optional<BYTE> HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return static_cast<BYTE>(c - '0');
    if (c >= 'a' && c <= 'f')
        return static_cast<BYTE>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return static_cast<BYTE>(c - 'A' + 10);
    return std::nullopt;
}

// Exactly two hex digits for each byte of the array.
template <std::size_t N> std::optional<std::array<BYTE, N>> FromHex(std::string_view strHex) {
    if (strHex.size() != 2 * N)
        return std::nullopt;
    std::array<BYTE, N> aBytes{};
    for (std::size_t i = 0; i < N; ++i) {
        const auto nHigh = HexDigit(strHex[2 * i]);
        const auto nLow = HexDigit(strHex[2 * i + 1]);
        if (!nHigh || !nLow)
            return std::nullopt;
        aBytes[i] = static_cast<BYTE>(*nHigh << 4 | *nLow);
    }
    return aBytes;
}

std::string_view WithoutLineEnd(std::string_view strText) {
    if (strText.ends_with("\r\n"))
        strText.remove_suffix(2);
    else if (strText.ends_with('\n'))
        strText.remove_suffix(1);
    return strText;
}

} // namespace

std::optional<SignedText> SplitSignedText(std::string_view strBody) {
    const std::string_view strRest = WithoutLineEnd(strBody);
    constexpr std::size_t SIGNATURE_DIGITS = 2 * std::tuple_size_v<EcSignature>;
    constexpr std::size_t TRAILER_SIZE = UPDATE_SIGNATURE_LABEL.size() + SIGNATURE_DIGITS;
    if (strRest.size() <= TRAILER_SIZE)
        return std::nullopt;
    const std::size_t nTrailer = strRest.size() - TRAILER_SIZE;
    if (strRest[nTrailer - 1] != '\n' ||
        strRest.substr(nTrailer, UPDATE_SIGNATURE_LABEL.size()) != UPDATE_SIGNATURE_LABEL)
        return std::nullopt;
    const auto signature = FromHex<std::tuple_size_v<EcSignature>>(
        strRest.substr(nTrailer + UPDATE_SIGNATURE_LABEL.size()));
    if (!signature)
        return std::nullopt;
    return SignedText{strBody.substr(0, nTrailer), *signature};
}

std::optional<EcPublicKey> ParsePublicKey(std::string_view strHex) {
    if (!strHex.starts_with(UNCOMPRESSED_POINT))
        return std::nullopt;
    strHex.remove_prefix(UNCOMPRESSED_POINT.size());
    return FromHex<std::tuple_size_v<EcPublicKey>>(strHex);
}

} // namespace qv
