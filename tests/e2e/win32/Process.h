// Starting the programs under test from a second process, and the files they are given.
#pragma once

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace qv::e2e {

// A started program; ends it when the test is over.
class CProcess {
public:
    // strArgs is appended to the quoted exe path. Environment entries replace or add to the
    // driver's own; an empty value removes the variable.
    CProcess(const std::filesystem::path& exe, const std::string& strArgs,
             const std::map<std::string, std::string>& environment = {});
    ~CProcess();
    CProcess(const CProcess&) = delete;
    CProcess& operator=(const CProcess&) = delete;

    DWORD Id() const { return m_info.dwProcessId; }
    std::optional<DWORD> WaitForExit(std::chrono::milliseconds limit);

private:
    PROCESS_INFORMATION m_info{};
};

std::wstring Widen(const std::string& strText);

// A variable that the run's script sets, such as QV_EXE_DIR, the exes' folder: a run without it is
// a broken run, not one with nothing to test, so it throws.
std::string FromEnvironment(const char* pszName);
// A file in the driver's temporary folder holding the given text; returns its Windows path.
std::string WriteTempFile(const std::string& strName, const std::string& strText);
// A file's bytes; empty when it cannot be read.
std::string FileText(const std::string& strPath);

} // namespace qv::e2e
