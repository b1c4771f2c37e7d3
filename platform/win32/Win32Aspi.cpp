#include "platform/win32/Win32Aspi.h"

#include "platform/AspiLayout.h"

#include <cstring>

namespace qv::win32 {
namespace {

// Looks up an export as the type of its declared prototype, so that a pointer of another type
// does not compile. void (*)() is the one function pointer type any other converts to quietly.
template <class Function>
bool GetFunction(HMODULE hLibrary, const char* pszName, Function*& pfnFunction) {
    pfnFunction = reinterpret_cast<Function*>(
        reinterpret_cast<void (*)()>(::GetProcAddress(hLibrary, pszName)));
    return pfnFunction != nullptr;
}

#define QV_GET_FUNCTION(hLibrary, name, pfn) GetFunction<decltype(::name)>(hLibrary, #name, pfn)

// The ASPI manager installs its library in the system directory; a copy beside the program is
// the only other place it is taken from, so a planted one in the current directory never loads.
HMODULE LoadAspiLibrary() {
    char szPath[MAX_PATH] = {};
    const UINT nSystem = ::GetSystemDirectoryA(szPath, MAX_PATH);
    if (nSystem > 0 && nSystem + sizeof("\\WNASPI32.DLL") <= MAX_PATH) {
        std::strcat(szPath, "\\WNASPI32.DLL");
        if (HMODULE hLibrary = ::LoadLibraryA(szPath))
            return hLibrary;
    }
    const DWORD nModule = ::GetModuleFileNameA(nullptr, szPath, MAX_PATH);
    if (nModule == 0 || nModule >= MAX_PATH)
        return nullptr;
    char* pszName = std::strrchr(szPath, '\\');
    if (!pszName || (pszName - szPath) + sizeof("\\WNASPI32.DLL") > MAX_PATH)
        return nullptr;
    std::strcpy(pszName, "\\WNASPI32.DLL");
    return ::LoadLibraryA(szPath);
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
