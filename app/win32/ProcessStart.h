// What both programs do before their application object exists, and the services every run
// has for real: the registry, the desktop and the main window's event queue.
#pragma once

#include "app/Quorvex.h"
#include "platform/win32/Win32Clock.h"
#include "platform/win32/Win32EventService.h"
#include "platform/win32/Win32Http.h"
#include "platform/win32/Win32Library.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32Shell.h"
#include "platform/win32/Win32Signatures.h"
#include "update/win32/QuickUpdateWindow.h"

#include <utility>

namespace qv::win32 {

struct CProcessServices {
    CSafeDllSearch safeSearch;
    CWin32EventService events;
    CWin32Registry registry;
    CWin32Shell shell;
    CWin32Http http;
    CWin32Clock clock;
    CWin32Signatures signatures;
    CWin32UpdateView updateView{events};

    // The update check as config says, its outcome shown in the program's own dialogs.
    UpdateServices UpdateServicesFor(UpdateConfig config) {
        return {http, clock, signatures, std::move(config), updateView};
    }
};

} // namespace qv::win32
