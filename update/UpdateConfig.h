// Where the update description lives, whose key signs it, the build's own release date and how
// long a check may take. The build says all four; the demo may name another server and key.
#pragma once

#include "platform/Clock.h"
#include "platform/SignatureService.h"
#include "platform/Types.h"

#include <optional>
#include <string>
#include <string_view>

namespace qv {

// The whole check, from the Internet handle to the last byte of the description: a server that
// trickles its answer holds a worker no longer.
inline constexpr int UPDATE_DEADLINE_MS = 60000;
// Each connect, send and receive of the Internet functions.
inline constexpr DWORD UPDATE_CALL_TIMEOUT_MS = 20000;
// A moved description is followed this many times, over HTTPS only.
inline constexpr int UPDATE_REDIRECT_LIMIT = 5;

struct UpdateServer {
    std::string strHost;
    WORD nPort = 0; // 0: the default port of the scheme
    std::string strObject = "ombrel/update.txt";
    bool bSecure = true; // HTTPS; plain HTTP only for the demo's tests of the parsing rules
    bool operator==(const UpdateServer&) const = default;
};

struct UpdateConfig {
    UpdateServer server;
    EcPublicKey publicKey{};
    // Nothing published on or before the day this build was released is news to its user.
    CalendarDate releaseDate{};
    int nDeadlineMs = UPDATE_DEADLINE_MS;
};

// The server and object of an https or http URL, scheme://host[:port]/path; nullopt for any
// other scheme, a missing host or path, a port outside 1 to 65535, or a blank or control
// character.
std::optional<UpdateServer> ParseUpdateUrl(std::string_view strUrl);

// Where a redirect from `from` leads: an https URL, or a path on the same server. Anything that
// would leave HTTPS is nullopt.
std::optional<UpdateServer> ResolveRedirect(const UpdateServer& from, std::string_view strLocation);

// The maker's server and key and this build's release date, as the build defines them.
UpdateConfig BuiltInUpdateConfig();

} // namespace qv
