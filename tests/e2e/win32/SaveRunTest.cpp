// The windowless save run as it meets the real registry: what it stores and of which type, under
// the user only although Wine runs it as an administrator, the values an older installation left
// machine-wide carried over, and a Run entry that names the exe exactly from a folder whose name
// the ANSI code page cannot spell. The rules behind each value are the native tests'.
#include "tests/e2e/win32/MainWindowDriver.h"
#include "tests/e2e/win32/ProgramUnderTest.h"
#include "tests/e2e/win32/RegistryReader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <utility>
#include <vector>

namespace qv::e2e {
namespace {

using namespace std::chrono_literals;

class SaveRun : public ::testing::Test {
protected:
    void SetUp() override {
        ForgetProgramValues();
        CreateDirectoryW(m_strFolder.c_str(), nullptr);
        ASSERT_TRUE(CopyFileW(Widen(Demo()).c_str(), m_strExe.c_str(), FALSE));
    }
    void TearDown() override {
        DeleteFileW(m_strExe.c_str());
        RemoveDirectoryW(m_strFolder.c_str());
        ForgetProgramValues();
    }
    std::wstring m_strFolder =
        (std::filesystem::temp_directory_path() / L"\u0414\u0438\u0441\u043a").wstring();
    std::wstring m_strExe = m_strFolder + L"\\quorvex-demo.exe";
};

// GetModuleFileNameA would give question marks for the folder, and a Run entry made from them
// would name no file.
TEST_F(SaveRun, StoresEachDrivesSpeedUnderTheUserAndARunEntryNamingTheExeExactly) {
    BOOL bLost = FALSE;
    WideCharToMultiByte(CP_ACP, 0, m_strFolder.c_str(), -1, nullptr, 0, nullptr, &bLost);
    ASSERT_TRUE(bLost) << "the ANSI code page spells the folder's name: nothing to show";
    // An older version run by an administrator kept a drive's values machine-wide.
    const std::vector<std::pair<std::string, RegistryValue>> aOlder{
        {"H: Model", Text("OLD;DRIVE;1.0;")},
        {"H: Speed", Dword(12)},
        {"H: Detected", {REG_BINARY, {8, 0, 0x5A, 0x05, 12, 0, 0x87, 0x08}}}};
    for (const auto& [strName, value] : aOlder)
        WriteValue(HKEY_LOCAL_MACHINE, APP_KEY, strName, value);

    CProcess process(m_strExe, "/save");
    ASSERT_EQ(process.WaitForExit(60s), 0u)
        << ControlText(FindOtherDialog(process.Id()), IDC_BOX_TEXT);

    std::vector<std::pair<std::string, RegistryValue>> aStored{
        {"Keep_Speed", Dword(1)},
        {"RunOnboot", Dword(1)},
        {"E: Model", Text("QRVX;CD-ROM 40X;1.02;")},
        {"E: Speed", Dword(40)},
        {"G: Model", Text("ZANTRIX;CDR-4812;2.10;04/12/99")},
        {"G: Speed", Dword(32)}};
    aStored.insert(aStored.end(), aOlder.begin(), aOlder.end());
    for (const auto& [strName, expected] : aStored)
        EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, APP_KEY, strName), expected) << strName;
    const auto path = ReadValue(HKEY_CURRENT_USER, APP_KEY, "ExePath");
    ASSERT_TRUE(path);
    EXPECT_EQ(path->dwType, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(path->aData.size(), 260u);
    // Read back in UTF-16, as the program wrote it, with its terminating zero.
    HKEY hRun = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, RUN_KEY, 0, KEY_READ, &hRun), ERROR_SUCCESS);
    wchar_t szRun[1024] = {};
    DWORD dwType = 0, nSize = sizeof szRun;
    const LONG nStatus = RegQueryValueExW(hRun, L"Quorvex", nullptr, &dwType,
                                          reinterpret_cast<BYTE*>(szRun), &nSize);
    RegCloseKey(hRun);
    ASSERT_EQ(nStatus, ERROR_SUCCESS);
    EXPECT_EQ(dwType, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::wstring(szRun, nSize / sizeof(wchar_t)), L"\"" + m_strExe + L"\" /boot" + L'\0');
    EXPECT_EQ(ValueCount(HKEY_LOCAL_MACHINE, APP_KEY), aOlder.size());
    EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, RUN_KEY, "Quorvex"));
}

} // namespace
} // namespace qv::e2e
