// UpdateQuorvex.exe, the updater that the new-version dialog starts: it sends the user to the
// download page, where a new release is fetched and installed by hand.
#include "app/BuildConfig.h"
#include "app/Texts.h"
#include "platform/win32/Win32.h"
#include "platform/win32/Win32Library.h"
#include "platform/win32/Win32Text.h"

#include <shellapi.h>

namespace {

constexpr const wchar_t* DOWNLOAD_PAGE = L"" QV_DOWNLOAD_PAGE;
constexpr const wchar_t* CANNOT_OPEN_TEXT =
    L"The download page " QV_DOWNLOAD_PAGE L" cannot be opened.";
// ShellExecuteW reports success with any value above this.
constexpr INT_PTR SHELL_EXECUTE_LAST_ERROR = 32;

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Opening the page loads many of the system's libraries by name, and the updater lies in the
    // program's folder, where a stranger's files may lie too.
    const qv::win32::CSafeDllSearch safeSearch;
    const HINSTANCE hResult =
        ::ShellExecuteW(nullptr, L"open", DOWNLOAD_PAGE, nullptr, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(hResult) > SHELL_EXECUTE_LAST_ERROR)
        return 0;
    ::MessageBoxW(nullptr, CANNOT_OPEN_TEXT, qv::win32::WidenAnsi(qv::APP_NAME).c_str(), MB_OK);
    return 1;
}
