// qv_standin_browser.exe: the browser, the mail program, the updater and icacls of the tests. It
// appends the command line it was started with, in UTF-8, as one line to the file that
// QV_STANDIN_LOG names, and ends; it fails when it cannot.
#include <windows.h>

#include <string>

namespace {

std::string Utf8(const wchar_t* pszText) {
    const int nBytes = WideCharToMultiByte(CP_UTF8, 0, pszText, -1, nullptr, 0, nullptr, nullptr);
    if (nBytes <= 1)
        return {};
    std::string strText(static_cast<std::size_t>(nBytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, pszText, -1, strText.data(), nBytes, nullptr, nullptr);
    strText.resize(strText.size() - 1);
    return strText;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    wchar_t szLog[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"QV_STANDIN_LOG", szLog, MAX_PATH))
        return 1;
    const HANDLE hLog = CreateFileW(szLog, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hLog == INVALID_HANDLE_VALUE)
        return 1;
    const std::string strLine = Utf8(GetCommandLineW()) + "\n";
    DWORD nWritten = 0;
    const BOOL bWritten =
        WriteFile(hLog, strLine.data(), static_cast<DWORD>(strLine.size()), &nWritten, nullptr);
    CloseHandle(hLog);
    return bWritten && nWritten == strLine.size() ? 0 : 1;
}
