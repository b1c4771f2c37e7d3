#include "platform/win32/Win32Library.h"

#include "platform/Shell.h"

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

} // namespace qv::win32
