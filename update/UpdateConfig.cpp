#include "update/UpdateConfig.h"

#include "app/BuildConfig.h"
#include "update/UpdateSignature.h"

#include <algorithm>
#include <cctype>

namespace qv {
namespace {

constexpr std::string_view HTTPS_SCHEME = "https://";
constexpr std::string_view HTTP_SCHEME = "http://";

bool IsHostCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-';
}

// Printable and without blanks, so that the request line stays one line.
bool IsPathCharacter(char c) {
    return c > ' ' && c < 0x7F;
}

bool IsPath(std::string_view strPath) {
    return !strPath.empty() && std::all_of(strPath.begin(), strPath.end(), IsPathCharacter);
}

bool StartsWithScheme(std::string_view strUrl, std::string_view strScheme) {
    return strUrl.size() >= strScheme.size() &&
           std::equal(strScheme.begin(), strScheme.end(), strUrl.begin(), [](char a, char b) {
               return a == std::tolower(static_cast<unsigned char>(b));
           });
}

std::optional<WORD> ParsePort(std::string_view strPort) {
    if (strPort.empty() || strPort.size() > 5 ||
        !std::all_of(strPort.begin(), strPort.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
        return std::nullopt;
    int nPort = 0;
    for (const char c : strPort)
        nPort = nPort * 10 + (c - '0');
    if (nPort < 1 || nPort > 0xFFFF)
        return std::nullopt;
    return static_cast<WORD>(nPort);
}

} // namespace

std::optional<UpdateServer> ParseUpdateUrl(std::string_view strUrl) {
    UpdateServer server;
    if (StartsWithScheme(strUrl, HTTPS_SCHEME)) {
        strUrl.remove_prefix(HTTPS_SCHEME.size());
    } else if (StartsWithScheme(strUrl, HTTP_SCHEME)) {
        strUrl.remove_prefix(HTTP_SCHEME.size());
        server.bSecure = false;
    } else {
        return std::nullopt;
    }
    const auto nSlash = strUrl.find('/');
    if (nSlash == std::string_view::npos || !IsPath(strUrl.substr(nSlash + 1)))
        return std::nullopt;
    std::string_view strAuthority = strUrl.substr(0, nSlash);
    server.strObject = std::string(strUrl.substr(nSlash + 1));
    if (const auto nColon = strAuthority.find(':'); nColon != std::string_view::npos) {
        const auto nPort = ParsePort(strAuthority.substr(nColon + 1));
        if (!nPort)
            return std::nullopt;
        server.nPort = *nPort;
        strAuthority = strAuthority.substr(0, nColon);
    }
    if (strAuthority.empty() ||
        !std::all_of(strAuthority.begin(), strAuthority.end(), IsHostCharacter))
        return std::nullopt;
    server.strHost = std::string(strAuthority);
    return server;
}

std::optional<UpdateServer> ResolveRedirect(const UpdateServer& from,
                                            std::string_view strLocation) {
    std::optional<UpdateServer> target;
    if (strLocation.starts_with('/') && !strLocation.starts_with("//")) {
        if (IsPath(strLocation.substr(1)))
            target = UpdateServer{from.strHost, from.nPort, std::string(strLocation.substr(1)),
                                  from.bSecure};
    } else {
        target = ParseUpdateUrl(strLocation);
    }
    if (!target || !target->bSecure)
        return std::nullopt;
    return target;
}

UpdateConfig BuiltInUpdateConfig() {
    return {.server = ParseUpdateUrl(QV_UPDATE_URL).value_or(UpdateServer{}),
            .publicKey = ParsePublicKey(QV_UPDATE_PUBLIC_KEY).value_or(EcPublicKey{}),
            .releaseDate = {QV_RELEASE_YEAR, QV_RELEASE_MONTH, QV_RELEASE_DAY}};
}

} // namespace qv
