// An update description's address written as a URL, for runs that ask another server than the
// maker's: http://host[:port]/path.
#pragma once

#include "update/UpdateCheck.h"

#include <optional>
#include <string_view>

namespace qv {

// The server and object of an http URL; nullopt for any other scheme, a missing host or path,
// a port outside 1 to 65535, or a blank or control character.
std::optional<UpdateServer> ParseUpdateUrl(std::string_view strUrl);

} // namespace qv
