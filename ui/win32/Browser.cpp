#include "ui/win32/Browser.h"

#include "app/Texts.h"
#include "platform/Shell.h"
#include "platform/win32/Win32Text.h"

#include <shellapi.h>

#include <atomic>
#include <cwchar>
#include <iterator>

namespace qv::win32 {
namespace {

constexpr char PROBE_PAGE[] = "<HTML><\\HTML>";
constexpr ::DWORD PROBE_PAGE_LENGTH = sizeof PROBE_PAGE - 1;
// Names are unique within the process; another process or a leftover may still hold one.
constexpr int PROBE_ATTEMPTS = 8;

// A page of the user's temporary folder that exists while the shell is asked about it. The
// current directory is no place for it: it may be read-only, or belong to someone else.
class CProbePage {
public:
    CProbePage() {
        const std::wstring strFolder = ReadWholePath<wchar_t>(
            [](wchar_t* pBuffer, DWORD nSize) { return ::GetTempPathW(nSize, pBuffer); });
        if (strFolder.empty())
            return;
        static std::atomic<unsigned> s_nNextName{0};
        for (int nAttempt = 0; nAttempt < PROBE_ATTEMPTS; ++nAttempt) {
            const std::wstring strPath = strFolder + L"quorvex-" +
                                         std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                         std::to_wstring(s_nNextName++) + L".htm";
            // CREATE_NEW: a file of that name that someone else made is never overwritten.
            const HANDLE hFile = ::CreateFileW(strPath.c_str(), GENERIC_WRITE, 0, nullptr,
                                               CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (hFile == INVALID_HANDLE_VALUE) {
                if (::GetLastError() == ERROR_FILE_EXISTS)
                    continue;
                return;
            }
            m_strPath = strPath;
            ::DWORD nWritten = 0;
            const BOOL bWritten =
                ::WriteFile(hFile, PROBE_PAGE, PROBE_PAGE_LENGTH, &nWritten, nullptr);
            ::CloseHandle(hFile);
            if (!bWritten || nWritten != PROBE_PAGE_LENGTH)
                Delete();
            return;
        }
    }
    ~CProbePage() { Delete(); }
    CProbePage(const CProbePage&) = delete;
    CProbePage& operator=(const CProbePage&) = delete;

    // Empty when the page could not be written.
    const std::wstring& Path() const { return m_strPath; }

private:
    void Delete() {
        if (!m_strPath.empty())
            ::DeleteFileW(m_strPath.c_str());
        m_strPath.clear();
    }

    std::wstring m_strPath;
};

// The program that opens HTML files; empty when there is none or it cannot be found out.
std::wstring AssociatedBrowser() {
    const CProbePage probe;
    if (probe.Path().empty())
        return {};
    wchar_t szBrowser[MAX_PATH] = {};
    const auto nResult =
        reinterpret_cast<INT_PTR>(::FindExecutableW(probe.Path().c_str(), nullptr, szBrowser));
    // Values up to 32 are errors.
    if (nResult <= 32)
        return {};
    return std::wstring(szBrowser, ::wcsnlen(szBrowser, std::size(szBrowser)));
}

} // namespace

bool OpenUrlInBrowser(HWND hOwner, const std::string& strUrl) {
    const std::wstring strBrowser = AssociatedBrowser();
    if (strBrowser.empty()) {
        ::MessageBoxA(hOwner, APP_NO_BROWSER_TEXT, APP_NAME, MB_OK);
        return false;
    }
    ::ShellExecuteW(hOwner, L"open", strBrowser.c_str(), WidenAnsi(strUrl).c_str(), nullptr,
                    SW_SHOWNORMAL);
    return true;
}

void OpenShellAddress(HWND hOwner, const std::string& strAddress) {
    ::ShellExecuteA(hOwner, "open", strAddress.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

} // namespace qv::win32
