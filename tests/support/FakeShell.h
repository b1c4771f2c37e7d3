// Stands in for the desktop: keeps every message box and the exit code, and gives the process
// the executable path and OS version a test chooses.
#pragma once

#include "platform/Platform.h"
#include "platform/Shell.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace qv::test {

struct ShownMessageBox {
    WindowHandle hOwner;
    std::string strText;
    std::string strCaption;
    unsigned nStyle;
    bool operator==(const ShownMessageBox&) const = default;
};

class CFakeShell : public CShellService {
public:
    int MessageBox(WindowHandle hOwner, const char* pszText, const char* pszCaption,
                   unsigned nStyle) override {
        m_aBoxes.push_back({hOwner, pszText, pszCaption, nStyle});
        return 1; // OK
    }
    // The ANSI form has a question mark for every character outside the code page, which here
    // is ASCII.
    DWORD GetModuleFileName(char* pBuffer, DWORD nSize) override {
        std::string strAnsi;
        for (const char16_t c : m_strExePath)
            strAnsi.push_back(c < 0x80 ? static_cast<char>(c) : '?');
        return CopyPath(strAnsi, pBuffer, nSize);
    }
    DWORD GetModuleFileNameWide(char16_t* pBuffer, DWORD nSize) override {
        return CopyPath(m_strExePath, pBuffer, nSize);
    }
    bool GetVersionEx(OS_VERSION_INFO& osvi) override {
        if (osvi.dwOSVersionInfoSize != OS_VERSION_INFO_SIZE)
            return false;
        osvi.dwPlatformId = m_dwPlatformId;
        return true;
    }
    bool LoadSystemLibrary(const char* pszName) override {
        m_aLibraries.emplace_back(pszName);
        return true;
    }
    void ExitProcess(unsigned nExitCode) override { m_nExitCode = nExitCode; }

    void SetExePath(std::u16string strPath) { m_strExePath = std::move(strPath); }

    DWORD m_dwPlatformId = PLATFORM_WIN32_NT;
    std::vector<ShownMessageBox> m_aBoxes;
    std::vector<std::string> m_aLibraries;
    std::optional<unsigned> m_nExitCode;

private:
    // As Windows XP does: a path that does not fit is cut to nSize characters, unterminated.
    template <class Char>
    static DWORD CopyPath(const std::basic_string<Char>& strPath, Char* pBuffer, DWORD nSize) {
        const auto nCopied = static_cast<DWORD>(std::min<std::size_t>(strPath.size(), nSize));
        std::copy_n(strPath.data(), nCopied, pBuffer);
        if (nCopied < nSize)
            pBuffer[nCopied] = Char{};
        return nCopied;
    }

    std::u16string m_strExePath = u"C:\\Program Files\\Quorvex\\Quorvex.exe";
};

} // namespace qv::test
