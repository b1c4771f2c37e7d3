// What the main window hands to the shell or shows in a plain message box.
#pragma once

#include "platform/win32/Win32.h"

#include <string>

namespace qv::win32 {

// The help page beside the program, in the user's browser; a message names the page when it
// is missing.
void OpenHelpPage(HWND hOwner);
// A web or mailto: address, opened by whatever the user has for it.
void OpenShellAddress(HWND hOwner, const std::string& strAddress);
// Shown when no usable CD-ROM drive was found, before the program ends.
void ShowNoDriveBox(HWND hOwner);

} // namespace qv::win32
