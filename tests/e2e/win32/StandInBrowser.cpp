// qv_standin_browser.exe: the browser, the mail program, the updater and icacls of the tests. It
// appends the command line it was started with, in UTF-8, as one line to the file that
// QV_STANDIN_LOG names, and ends; it fails when it cannot, a command line too long included.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    wchar_t szLog[MAX_PATH] = {};
    char szLine[8192];
    const int nBytes = WideCharToMultiByte(CP_UTF8, 0, GetCommandLineW(), -1, szLine, sizeof szLine,
                                           nullptr, nullptr);
    if (nBytes == 0 || !GetEnvironmentVariableW(L"QV_STANDIN_LOG", szLog, MAX_PATH))
        return 1;
    szLine[nBytes - 1] = '\n';
    const HANDLE hLog = CreateFileW(szLog, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hLog == INVALID_HANDLE_VALUE)
        return 1;
    DWORD nWritten = 0;
    const BOOL bWritten = WriteFile(hLog, szLine, static_cast<DWORD>(nBytes), &nWritten, nullptr);
    CloseHandle(hLog);
    return bWritten && nWritten == static_cast<DWORD>(nBytes) ? 0 : 1;
}
