// The bundle of OS services that the application object hands down to everything it creates.
#pragma once

#include "platform/Registry.h"
#include "platform/Types.h"

namespace qv {

class CDriveService;
class CEventService;
class CShellService;
class CAspiService;

// Platform identifiers of the OS version record.
enum : DWORD {
    PLATFORM_WIN32_WINDOWS = 1, // Windows 95/98
    PLATFORM_WIN32_NT = 2,
};

struct CPlatform {
    CDriveService& drives;
    CEventService& events;
    CRegistryService& registry;
    CShellService& shell;
    CAspiService& aspi;
    // The root of the program's registry key. The application object makes it
    // HKEY_CURRENT_USER in every run, elevated or not, so that one user's settings and Run entry
    // never end up split between two roots.
    RegKey registryRoot = REGKEY_CURRENT_USER;
    // The platform identifier of the OS version record, which the application object reads at
    // start-up; it chooses how the tray is ejected, loaded and locked.
    DWORD dwPlatformId = 0;
};

} // namespace qv
