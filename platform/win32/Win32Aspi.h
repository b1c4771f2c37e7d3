// ASPI for Win32 on the running Windows: the installed WNASPI32 library and its two exports.
#pragma once

#include "platform/AspiService.h"
#include "platform/win32/Win32.h"

// The exports as the interface publishes them. Declared only so that the pointers to them are
// typed by these prototypes; nothing links against them.
extern "C" {
::DWORD __cdecl GetASPI32SupportInfo(void);
::DWORD __cdecl SendASPI32Command(void* pSrb);
}

namespace qv::win32 {

// Once a transport has chosen the library it stays loaded until the process ends: the manager's
// thread may post a request block at any moment, up to the very end.
class CWin32Aspi : public CAspiService {
public:
    bool Load() override;
    bool FindEntryPoints() override;
    void Unload() override;
    DWORD GetASPI32SupportInfo() override;
    DWORD SendASPI32Command(void* pSrb) override;

private:
    HMODULE m_hLibrary = nullptr;
    decltype(&::GetASPI32SupportInfo) m_pfnGetSupportInfo = nullptr;
    decltype(&::SendASPI32Command) m_pfnSendCommand = nullptr;
};

} // namespace qv::win32
