#include "app/win32/ProcessStart.h"

#include "platform/win32/Win32.h"
#include "platform/win32/Win32Library.h"

namespace qv::win32 {

CSafeDllSearch::CSafeDllSearch() {
    SetDllDirectoryA("");
    // Where the loader has it (Windows 8, or 7 with update KB2533623), a library that a system
    // library asks for by name comes from the system directory only, not the program's folder,
    // which may be a downloads folder full of strangers' files.
    decltype(&::SetDefaultDllDirectories) pfnSetDefaultDllDirectories = nullptr;
    if (QV_GET_FUNCTION(::GetModuleHandleW(L"kernel32.dll"), SetDefaultDllDirectories,
                        pfnSetDefaultDllDirectories))
        pfnSetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

} // namespace qv::win32
