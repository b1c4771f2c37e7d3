#include "platform/win32/Win32Aspi.h"

#include "platform/AspiLayout.h"
#include "platform/Shell.h"
#include "platform/win32/Win32Library.h"

#include <string>

namespace qv::win32 {
namespace {

constexpr const wchar_t* ASPI_LIBRARY = L"\\WNASPI32.DLL";

// The ASPI manager installs its library in the system directory; a copy beside the program is
// the only other place it is taken from, so a planted one in the current directory never loads.
// Both are named by their wide paths: a folder outside the ANSI code page has no ANSI name.
HMODULE LoadAspiLibrary() {
    if (const std::wstring strSystem = SystemDirectory(); !strSystem.empty())
        if (HMODULE hLibrary = LoadLibraryByPath(strSystem + ASPI_LIBRARY))
            return hLibrary;
    const std::wstring strFolder = ProgramFolder();
    return strFolder.empty() ? nullptr : LoadLibraryByPath(strFolder + ASPI_LIBRARY);
}

} // namespace

bool CWin32Aspi::Load() {
    if (!m_hLibrary)
        m_hLibrary = LoadAspiLibrary();
    return m_hLibrary != nullptr;
}

bool CWin32Aspi::FindEntryPoints() {
    if (!m_hLibrary)
        return false;
    const bool bSupportInfo =
        QV_GET_FUNCTION(m_hLibrary, GetASPI32SupportInfo, m_pfnGetSupportInfo);
    const bool bSendCommand = QV_GET_FUNCTION(m_hLibrary, SendASPI32Command, m_pfnSendCommand);
    return bSupportInfo && bSendCommand;
}

void CWin32Aspi::Unload() {
    m_pfnGetSupportInfo = nullptr;
    m_pfnSendCommand = nullptr;
    if (m_hLibrary)
        ::FreeLibrary(m_hLibrary);
    m_hLibrary = nullptr;
}

// Without the library there is no manager: no adapters, and no block is taken.
DWORD CWin32Aspi::GetASPI32SupportInfo() {
    return m_pfnGetSupportInfo ? static_cast<DWORD>(m_pfnGetSupportInfo())
                               : DWORD{SS_NO_ADAPTERS} << 8;
}

DWORD CWin32Aspi::SendASPI32Command(void* pSrb) {
    return m_pfnSendCommand ? static_cast<DWORD>(m_pfnSendCommand(pSrb)) : DWORD{SS_NO_ADAPTERS};
}

} // namespace qv::win32
