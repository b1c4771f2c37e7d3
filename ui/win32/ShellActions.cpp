#include "ui/win32/ShellActions.h"

#include "app/Quorvex.h"
#include "platform/Shell.h"
#include "platform/win32/Win32Text.h"
#include "res/resource.h"

#include <shellapi.h>

namespace qv::win32 {
namespace {

// The folder of the running program, with its trailing backslash; empty when it cannot be read.
std::wstring ProgramFolder() {
    const std::wstring strExe = ReadWholePath<wchar_t>([](wchar_t* pBuffer, DWORD nSize) {
        return static_cast<DWORD>(::GetModuleFileNameW(nullptr, pBuffer, nSize));
    });
    const auto nSlash = strExe.find_last_of(L"\\/");
    return nSlash == std::wstring::npos ? std::wstring() : strExe.substr(0, nSlash + 1);
}

} // namespace

void OpenHelpPage(HWND hOwner) {
    const std::wstring strPage = ProgramFolder() + WidenAnsi(HELP_FILE_NAME);
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
