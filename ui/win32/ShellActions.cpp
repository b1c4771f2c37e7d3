#include "ui/win32/ShellActions.h"

#include "app/Texts.h"
#include "platform/win32/Win32Library.h"
#include "platform/win32/Win32Text.h"
#include "res/resource.h"

#include <shellapi.h>

namespace qv::win32 {
void OpenHelpPage(HWND hOwner) {
    const std::wstring strPage = ProgramFolder() + L"\\" + WidenAnsi(HELP_FILE_NAME);
    if (::GetFileAttributesW(strPage.c_str()) == INVALID_FILE_ATTRIBUTES) {
        const std::wstring strText = L"The help page " + strPage + L" cannot be found.";
        ::MessageBoxW(hOwner, strText.c_str(), WidenAnsi(APP_NAME).c_str(), MB_OK);
        return;
    }
    ::ShellExecuteW(hOwner, L"open", strPage.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void OpenShellAddress(HWND hOwner, const std::string& strAddress) {
    ::ShellExecuteA(hOwner, "open", strAddress.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void ShowNoDriveBox(HWND hOwner) {
    ::MessageBoxA(hOwner, APP_NO_DRIVE_TEXT, APP_NAME, MB_OK | MB_SYSTEMMODAL);
}

} // namespace qv::win32
