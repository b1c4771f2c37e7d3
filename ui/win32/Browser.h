// Addresses the windows hand on. Web pages go to the program that opens HTML files, found by
// asking the shell about a small page written for the purpose, rather than to whatever the shell
// would do with the URL itself; other addresses (mailto:) go to the shell as they stand.
#pragma once

#include "platform/win32/Win32.h"

#include <string>

namespace qv::win32 {

// Starts the browser with strUrl as its command line; false, after a message owned by hOwner,
// when no program opens HTML files. Whether the browser really started is not checked.
bool OpenUrlInBrowser(HWND hOwner, const std::string& strUrl);
// Opened by whatever the user has for them.
void OpenShellAddress(HWND hOwner, const std::string& strAddress);

} // namespace qv::win32
