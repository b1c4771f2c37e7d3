// Where the process takes its libraries from: by full path, never by a bare name that a search
// could find in the program's folder; and finding their exports by their declared prototypes.
#pragma once

#include "platform/win32/Win32.h"

#include <string>

namespace qv::win32 {

// The system directory without a trailing backslash; empty when it cannot be read.
std::wstring SystemDirectory();
// The running program's folder without a trailing backslash; empty when its path cannot be read
// whole. The program looks there, never in the current directory, for what ships beside it.
std::wstring ProgramFolder();

// Loads the library at the full path strPath. The libraries it needs are taken from its own
// folder and the system directory only, never from the program's folder or the current one.
HMODULE LoadLibraryByPath(const std::wstring& strPath);
// Loads the system's library of the file name strName from the system directory. A name that the
// program's manifest redirects (the common controls of version 6, whose system directory holds
// version 5) is loaded by name, which the loader then resolves through the manifest alone.
HMODULE LoadLibraryFromSystem(const std::wstring& strName);

// Constructed first of all: from then on no DLL is looked for in the current directory, and,
// where the loader allows it, none that is loaded by name in the program's folder, so a planted
// library there is never loaded. The DLLs that the programs load at their first use come from
// LoadLibraryFromSystem, through the delay-load helper's hook defined beside this class, so that
// every program that constructs it links the hook.
class CSafeDllSearch {
public:
    CSafeDllSearch();
};

// Looks up an export as the type of its declared prototype, so that a pointer of another type
// does not compile. void (*)() is the one function pointer type any other converts to quietly.
template <class Function>
bool GetFunction(HMODULE hLibrary, const char* pszName, Function*& pfnFunction) {
    pfnFunction = reinterpret_cast<Function*>(
        reinterpret_cast<void (*)()>(::GetProcAddress(hLibrary, pszName)));
    return pfnFunction != nullptr;
}

#define QV_GET_FUNCTION(hLibrary, name, pfn)                                                       \
    ::qv::win32::GetFunction<decltype(::name)>(hLibrary, #name, pfn)

} // namespace qv::win32
