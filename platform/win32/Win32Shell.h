// The desktop and the process of the running Windows.
#pragma once

#include "platform/Shell.h"

namespace qv::win32 {

class CWin32Shell : public CShellService {
public:
    int MessageBox(WindowHandle hOwner, const char* pszText, const char* pszCaption,
                   unsigned nStyle) override;
    DWORD GetModuleFileName(char* pBuffer, DWORD nSize) override;
    DWORD GetModuleFileNameWide(char16_t* pBuffer, DWORD nSize) override;
    bool GetVersionEx(OS_VERSION_INFO& osvi) override;
    bool LoadSystemLibrary(const char* pszName) override;
    void ExitProcess(unsigned nExitCode) override;
};

} // namespace qv::win32
