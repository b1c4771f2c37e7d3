#include "tests/e2e/win32/Process.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace qv::e2e {
namespace {

std::string EnvironmentBlock(const std::map<std::string, std::string>& changes) {
    std::map<std::string, std::string> variables;
    char* pBlock = GetEnvironmentStringsA();
    for (const char* p = pBlock; *p; p += strlen(p) + 1) {
        const std::string strEntry(p);
        const auto nEquals = strEntry.find('=', 1);
        if (nEquals != std::string::npos)
            variables[strEntry.substr(0, nEquals)] = strEntry.substr(nEquals + 1);
    }
    FreeEnvironmentStringsA(pBlock);
    for (const auto& [strName, strValue] : changes)
        variables[strName] = strValue;
    std::string strBlock;
    for (const auto& [strName, strValue] : variables)
        if (!strValue.empty())
            strBlock += strName + "=" + strValue + '\0';
    return strBlock + '\0';
}

} // namespace

CProcess::CProcess(const std::filesystem::path& exe, const std::string& strArgs,
                   const std::map<std::string, std::string>& environment) {
    std::wstring strCommand =
        L"\"" + exe.wstring() + L"\"" + (strArgs.empty() ? L"" : L" " + Widen(strArgs));
    std::string strEnvironment = EnvironmentBlock(environment);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(exe.c_str(), strCommand.data(), nullptr, nullptr, FALSE, 0,
                        strEnvironment.data(), nullptr, &startup, &m_info))
        throw std::runtime_error("cannot start a program, error " + std::to_string(GetLastError()));
}

CProcess::~CProcess() {
    if (WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(m_info.hProcess, 99);
        WaitForSingleObject(m_info.hProcess, 5000);
    }
    CloseHandle(m_info.hThread);
    CloseHandle(m_info.hProcess);
}

std::optional<DWORD> CProcess::WaitForExit(std::chrono::milliseconds limit) {
    if (WaitForSingleObject(m_info.hProcess, static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD dwExitCode = 0;
    GetExitCodeProcess(m_info.hProcess, &dwExitCode);
    return dwExitCode;
}

std::wstring Widen(const std::string& strText) {
    const int nWide = MultiByteToWideChar(CP_ACP, 0, strText.c_str(), -1, nullptr, 0);
    std::wstring strWide(static_cast<std::size_t>(std::max(nWide, 1)), L'\0');
    MultiByteToWideChar(CP_ACP, 0, strText.c_str(), -1, strWide.data(), nWide);
    strWide.resize(strWide.size() - 1);
    return strWide;
}

std::string FromEnvironment(const char* pszName) {
    char szValue[MAX_PATH] = {};
    const DWORD nLength = GetEnvironmentVariableA(pszName, szValue, sizeof szValue);
    if (nLength == 0 || nLength >= sizeof szValue)
        throw std::runtime_error(std::string(pszName) + " is not set by the run's script");
    return szValue;
}

std::string WriteTempFile(const std::string& strName, const std::string& strText) {
    char szTemp[MAX_PATH] = {};
    GetTempPathA(sizeof szTemp, szTemp);
    const std::string strPath = std::string(szTemp) + strName;
    std::ofstream(strPath, std::ios::binary) << strText;
    return strPath;
}

std::string FileText(const std::string& strPath) {
    std::ifstream file(strPath, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

} // namespace qv::e2e
