#include "platform/win32/Win32Library.h"

#include "platform/Shell.h"
#include "platform/win32/Win32Text.h"

#include <delayimp.h>

namespace qv::win32 {

std::wstring SystemDirectory() {
    wchar_t szPath[MAX_PATH] = {};
    const UINT nLength = ::GetSystemDirectoryW(szPath, MAX_PATH);
    if (nLength == 0 || nLength >= MAX_PATH)
        return {};
    return {szPath, nLength};
}

std::wstring ProgramFolder() {
    const std::wstring strExe = ReadWholePath<wchar_t>([](wchar_t* pBuffer, DWORD nSize) {
        return static_cast<DWORD>(::GetModuleFileNameW(nullptr, pBuffer, nSize));
    });
    const auto nFolderEnd = strExe.find_last_of(L"\\/");
    return nFolderEnd == std::wstring::npos ? std::wstring() : strExe.substr(0, nFolderEnd);
}

HMODULE LoadLibraryByPath(const std::wstring& strPath) {
    HMODULE hLibrary = ::LoadLibraryExW(
        strPath.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    // A loader from before Windows 8 without update KB2533623 knows none of those flags. The
    // altered search order still looks in the library's folder first, before the program's.
    if (!hLibrary && ::GetLastError() == ERROR_INVALID_PARAMETER)
        hLibrary = ::LoadLibraryExW(strPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    return hLibrary;
}

HMODULE LoadLibraryFromSystem(const std::wstring& strName) {
    ACTCTX_SECTION_KEYED_DATA redirection{};
    redirection.cbSize = sizeof redirection;
    if (::FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION,
                                   strName.c_str(), &redirection))
        return ::LoadLibraryW(strName.c_str());
    const std::wstring strSystem = SystemDirectory();
    return strSystem.empty() ? nullptr : LoadLibraryByPath(strSystem + L'\\' + strName);
}

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

namespace {

// The runtime's delay-load helper would load each DLL by its bare name, which a loader without
// update KB2533623 looks for in the program's folder first.
FARPROC WINAPI LoadDelayLoadedLibrary(unsigned nNotification, PDelayLoadInfo pInfo) noexcept {
    if (nNotification != dliNotePreLoadLibrary)
        return nullptr;
    return reinterpret_cast<FARPROC>(LoadLibraryFromSystem(WidenAnsi(pInfo->szDll)));
}

} // namespace

} // namespace qv::win32

// The linker takes this definition over the runtime's empty one.
extern "C" {
PfnDliHook __pfnDliNotifyHook2 = qv::win32::LoadDelayLoadedLibrary;
}
