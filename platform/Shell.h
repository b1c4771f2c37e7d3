// The process and the user's desktop: message boxes, the running executable, the OS version
// and the end of the process, shaped like their Win32 namesakes.
#pragma once

#include "platform/Types.h"

#include <algorithm>
#include <string>

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

// The longest path Windows knows, in characters.
inline constexpr DWORD LONGEST_PATH = 32767;

// Asks read(pBuffer, nSize), a call shaped like GetModuleFileNameW, for a path in a buffer that
// grows from MAX_PATH characters until the answer fits. A path that fills even the longest buffer
// was cut short and names no file: it reads as empty, as a failed call does.
template <class Char, class Read> std::basic_string<Char> ReadWholePath(Read read) {
    for (DWORD nSize = 260;; nSize = std::min(nSize * 2, LONGEST_PATH)) {
        std::basic_string<Char> strPath(nSize, Char{});
        const DWORD nLength = read(strPath.data(), nSize);
        if (nLength == 0)
            return {};
        if (nLength < nSize) {
            strPath.resize(nLength);
            return strPath;
        }
        if (nSize == LONGEST_PATH)
            return {};
    }
}

class CShellService {
public:
    virtual ~CShellService() = default;

    // Returns the button that ended the box.
    virtual int MessageBox(WindowHandle hOwner, const char* pszText, const char* pszCaption,
                           unsigned nStyle) = 0;
    // GetModuleFileNameA of the executable: the characters copied without the zero, nSize
    // when the path was cut short (the buffer then need not end in a zero), 0 on failure.
    virtual DWORD GetModuleFileName(char* pBuffer, DWORD nSize) = 0;
    // GetModuleFileNameW of the executable, answering as GetModuleFileName does. Only this form
    // names a path whose characters lie outside the ANSI code page.
    virtual DWORD GetModuleFileNameWide(char16_t* pBuffer, DWORD nSize) = 0;
    // GetVersionExA: fills osvi when its size member is OS_VERSION_INFO_SIZE; any other size
    // fails and leaves osvi as it was.
    virtual bool GetVersionEx(OS_VERSION_INFO& osvi) = 0;
    // Loads a library of the system directory by its full path; the libraries it needs in turn
    // come from the system directory too, never from the program's folder or the current one.
    // The library stays loaded for the rest of the process.
    virtual bool LoadSystemLibrary(const char* pszName) = 0;
    // Ends the process at once. A stand-in may return; its caller then returns as well.
    virtual void ExitProcess(unsigned nExitCode) = 0;
};

} // namespace qv
