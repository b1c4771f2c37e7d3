// What each program file says about itself to Windows: its version record names its own file and
// the build's version, and its header asks for Windows 7 or later and declares it is aware of
// terminal servers.
#include "app/BuildConfig.h"
#include "tests/e2e/win32/Process.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace qv::e2e {
namespace {

std::string VersionString(const std::string& strExe, const char* pszName) {
    const DWORD nSize = GetFileVersionInfoSizeA(strExe.c_str(), nullptr);
    std::vector<BYTE> aInfo(nSize);
    if (nSize == 0 || !GetFileVersionInfoA(strExe.c_str(), 0, nSize, aInfo.data()))
        return "(no version record)";
    char* pszValue = nullptr;
    UINT nLength = 0;
    const std::string strPath = std::string("\\StringFileInfo\\040904b0\\") + pszName;
    if (!VerQueryValueA(aInfo.data(), strPath.c_str(), reinterpret_cast<void**>(&pszValue),
                        &nLength))
        return "(missing)";
    return pszValue;
}

// All zero when the file is too short to hold them.
IMAGE_NT_HEADERS64 Headers(const std::string& strExe) {
    std::ifstream file(strExe, std::ios::binary);
    IMAGE_DOS_HEADER dos{};
    IMAGE_NT_HEADERS64 nt{};
    if (file.read(reinterpret_cast<char*>(&dos), sizeof dos))
        file.seekg(dos.e_lfanew).read(reinterpret_cast<char*>(&nt), sizeof nt);
    return nt;
}

TEST(ProgramFile, NamesItselfAndAsksForWindows7AsATerminalServerAwareProgram) {
    for (const std::string strName : {"quorvex.exe", "quorvex-demo.exe", "UpdateQuorvex.exe"}) {
        SCOPED_TRACE(strName);
        const std::string strExe = FromEnvironment("QV_EXE_DIR") + "\\" + strName;
        EXPECT_EQ(VersionString(strExe, "OriginalFilename"), strName);
        EXPECT_EQ(VersionString(strExe, "ProductVersion"), QV_VERSION_FULL);
        EXPECT_EQ(VersionString(strExe, "CompanyName"), QV_MAKER);

        const IMAGE_NT_HEADERS64 nt = Headers(strExe);
        ASSERT_EQ(nt.Signature, IMAGE_NT_SIGNATURE);
        EXPECT_EQ(nt.OptionalHeader.MajorSubsystemVersion, 6);
        EXPECT_EQ(nt.OptionalHeader.MinorSubsystemVersion, 1);
        EXPECT_EQ(nt.OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
        EXPECT_TRUE(nt.OptionalHeader.DllCharacteristics &
                    IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE);
    }
}

} // namespace
} // namespace qv::e2e
