#include "update/UpdateServerAddress.h"

#include <algorithm>
#include <cctype>

namespace qv {
namespace {

constexpr std::string_view HTTP_SCHEME = "http://";

bool IsHostCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-';
}

// Printable and without blanks, so that the request line stays one line.
bool IsPathCharacter(char c) {
    return c > ' ' && c < 0x7F;
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
    if (strUrl.size() < HTTP_SCHEME.size() ||
        !std::equal(HTTP_SCHEME.begin(), HTTP_SCHEME.end(), strUrl.begin(), [](char a, char b) {
            return a == std::tolower(static_cast<unsigned char>(b));
        }))
        return std::nullopt;
    strUrl.remove_prefix(HTTP_SCHEME.size());
    const auto nSlash = strUrl.find('/');
    if (nSlash == std::string_view::npos || nSlash + 1 == strUrl.size())
        return std::nullopt;
    std::string_view strAuthority = strUrl.substr(0, nSlash);
    const std::string_view strPath = strUrl.substr(nSlash + 1);
    if (!std::all_of(strPath.begin(), strPath.end(), IsPathCharacter))
        return std::nullopt;
    UpdateServer server;
    server.strObject = std::string(strPath);
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

} // namespace qv
