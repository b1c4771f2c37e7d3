#include "platform/win32/Win32Shell.h"

#include "platform/Platform.h"
#include "platform/win32/Win32.h"
#include "platform/win32/Win32Library.h"
#include "platform/win32/Win32Text.h"

#include <cstddef>
#include <cstring>
#include <string>

namespace qv::win32 {
namespace {

#define QV_SAME_FIELD(Field)                                                                       \
    static_assert(offsetof(OS_VERSION_INFO, Field) == offsetof(OSVERSIONINFOA, Field) &&           \
                  sizeof(OS_VERSION_INFO::Field) == sizeof(OSVERSIONINFOA::Field))
static_assert(sizeof(OS_VERSION_INFO) == sizeof(OSVERSIONINFOA));
QV_SAME_FIELD(dwOSVersionInfoSize);
QV_SAME_FIELD(dwMajorVersion);
QV_SAME_FIELD(dwMinorVersion);
QV_SAME_FIELD(dwBuildNumber);
QV_SAME_FIELD(dwPlatformId);
QV_SAME_FIELD(szCSDVersion);
#undef QV_SAME_FIELD

static_assert(sizeof(char16_t) == sizeof(wchar_t));

static_assert(MSGBOX_OK == MB_OK && MSGBOX_SYSTEMMODAL == MB_SYSTEMMODAL);
static_assert(PLATFORM_WIN32_WINDOWS == VER_PLATFORM_WIN32_WINDOWS &&
              PLATFORM_WIN32_NT == VER_PLATFORM_WIN32_NT);

} // namespace

int CWin32Shell::MessageBox(WindowHandle hOwner, const char* pszText, const char* pszCaption,
                            unsigned nStyle) {
    return ::MessageBoxA(reinterpret_cast<HWND>(hOwner), pszText, pszCaption, nStyle);
}

DWORD CWin32Shell::GetModuleFileName(char* pBuffer, DWORD nSize) {
    return static_cast<DWORD>(::GetModuleFileNameA(nullptr, pBuffer, nSize));
}

DWORD CWin32Shell::GetModuleFileNameWide(char16_t* pBuffer, DWORD nSize) {
    return static_cast<DWORD>(
        ::GetModuleFileNameW(nullptr, reinterpret_cast<wchar_t*>(pBuffer), nSize));
}

// The record handed to the OS is this fixed one: a larger size, that of OSVERSIONINFOEXA, would
// have the OS write past its end.
bool CWin32Shell::GetVersionEx(OS_VERSION_INFO& osvi) {
    if (osvi.dwOSVersionInfoSize != OS_VERSION_INFO_SIZE)
        return false;
    OSVERSIONINFOA record{};
    record.dwOSVersionInfoSize = sizeof record;
    if (!::GetVersionExA(&record))
        return false;
    std::memcpy(&osvi, &record, sizeof osvi);
    return true;
}

bool CWin32Shell::LoadSystemLibrary(const char* pszName) {
    return LoadLibraryFromSystem(WidenAnsi(pszName)) != nullptr;
}

void CWin32Shell::ExitProcess(unsigned nExitCode) {
    ::ExitProcess(nExitCode);
}

} // namespace qv::win32
