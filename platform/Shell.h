// The process and the user's desktop: message boxes, the running executable, the OS version
// and the end of the process, shaped like their Win32 namesakes.
#pragma once

#include "platform/Types.h"

namespace qv {

// MessageBoxA styles.
enum : unsigned {
    MSGBOX_OK = 0x0000,
    MSGBOX_SYSTEMMODAL = 0x1000,
};

// OSVERSIONINFOA, field for field; the caller sets dwOSVersionInfoSize before asking. Its
// platform identifiers are those of Platform.h.
struct OS_VERSION_INFO {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    char szCSDVersion[128];
};
inline constexpr DWORD OS_VERSION_INFO_SIZE = 148;
static_assert(sizeof(OS_VERSION_INFO) == OS_VERSION_INFO_SIZE);

class CShellService {
public:
    virtual ~CShellService() = default;

    // Returns the button that ended the box.
    virtual int MessageBox(WindowHandle hOwner, const char* pszText, const char* pszCaption,
                           unsigned nStyle) = 0;
    // GetModuleFileNameA of the executable: the characters copied without the zero, nSize
    // when the path was cut short (the buffer then need not end in a zero), 0 on failure.
    virtual DWORD GetModuleFileName(char* pBuffer, DWORD nSize) = 0;
    // GetVersionExA: fills osvi when its size member names a record the OS knows.
    virtual bool GetVersionEx(OS_VERSION_INFO& osvi) = 0;
    // LoadLibraryA of a library of the system directory, never of the current one. The library
    // stays loaded for the rest of the process.
    virtual bool LoadSystemLibrary(const char* pszName) = 0;
    // Ends the process at once. A stand-in may return; its caller then returns as well.
    virtual void ExitProcess(unsigned nExitCode) = 0;
};

} // namespace qv
