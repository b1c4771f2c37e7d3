// The windowless save run of both programs, on a fresh registry or one an older installation
// left: what it stores and where, what it says when there is nothing to store, and how the demo
// program refuses a bad machine file.
#include "tests/e2e/win32/Process.h"
#include "tests/e2e/win32/ProgramUnderTest.h"
#include "tests/e2e/win32/RegistryReader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace qv::e2e {
namespace {

using namespace std::chrono_literals;
using ::testing::Contains;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr const char* NO_DRIVE_TEXT =
    "Quorvex was failed to find any CD-ROM drives. Work finished.";

class SaveRun : public ::testing::Test {
protected:
    // Every test starts from a registry the program has never written.
    void SetUp() override { ForgetProgramValues(); }
    void TearDown() override { ForgetProgramValues(); }
    // Runs a program that must end by itself without showing anything.
    static void RunQuietly(const std::string& strExe, const std::string& strArgs,
                           const std::map<std::string, std::string>& environment) {
        CProcess process(strExe, strArgs, environment);
        const auto nExit = process.WaitForExit(60s);
        if (!nExit) {
            const auto box = WaitForMessageBox(process.Id(), 1s);
            FAIL() << "did not end" << (box ? "; it shows: " + box->strText : std::string());
        }
        EXPECT_EQ(*nExit, 0u);
    }
    // Every run keeps its values and its Run entry under the user, elevated or not; Wine runs
    // programs as an administrator, so nothing must reach the machine's keys either.
    static void ExpectApplicationValues(const std::string& strExe) {
        const auto keep = ReadValue(HKEY_CURRENT_USER, APP_KEY, "Keep_Speed");
        ASSERT_TRUE(keep);
        EXPECT_EQ(keep->dwType, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(keep->AsDword(), 1u);
        const auto boot = ReadValue(HKEY_CURRENT_USER, APP_KEY, "RunOnboot");
        ASSERT_TRUE(boot);
        EXPECT_EQ(boot->dwType, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(boot->AsDword(), 1u);
        const auto path = ReadValue(HKEY_CURRENT_USER, APP_KEY, "ExePath");
        ASSERT_TRUE(path);
        EXPECT_EQ(path->dwType, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(path->aData.size(), 260u);
        EXPECT_STRCASEEQ(path->AsBytesText().c_str(), strExe.c_str());
        ExpectRunEntry(Widen(strExe));
        EXPECT_THAT(ValueNames(HKEY_LOCAL_MACHINE, APP_KEY), IsEmpty());
        EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, RUN_KEY, "Quorvex"));
    }
    // Read back in UTF-16, as the program wrote it, with its terminating zero.
    static void ExpectRunEntry(const std::wstring& strExe) {
        const auto run = ReadValueWide(HKEY_CURRENT_USER, RUN_KEY, "Quorvex");
        ASSERT_TRUE(run);
        EXPECT_EQ(run->dwType, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(run->AsWideText(), L"\"" + strExe + L"\" /boot" + L'\0');
    }
    static void ExpectDrive(const char* pszDrive, const std::string& strModel, DWORD nSpeed) {
        const auto model = ReadValue(HKEY_CURRENT_USER, APP_KEY, std::string(pszDrive) + " Model");
        ASSERT_TRUE(model) << pszDrive;
        EXPECT_EQ(model->dwType, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(model->AsBytesText(), strModel + '\0');
        const auto speed = ReadValue(HKEY_CURRENT_USER, APP_KEY, std::string(pszDrive) + " Speed");
        ASSERT_TRUE(speed) << pszDrive;
        EXPECT_EQ(speed->dwType, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(speed->AsDword(), nSpeed);
        EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, APP_KEY, std::string(pszDrive) + " Detected"));
    }
    static void ExpectNoDriveValues() {
        for (HKEY hRoot : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
            for (const auto& strName : ValueNames(hRoot, APP_KEY))
                EXPECT_EQ(strName.find(':'), std::string::npos) << strName;
    }
    static void ExpectNoDriveBoxAndExit(CProcess& process) {
        const auto box = WaitForMessageBox(process.Id(), 30s);
        ASSERT_TRUE(box) << "no message box";
        EXPECT_EQ(box->strCaption, "Quorvex");
        EXPECT_EQ(box->strText, NO_DRIVE_TEXT);
        EXPECT_EQ(box->hOwner, nullptr);
        EXPECT_TRUE(box->bTopmost);
        Dismiss(*box);
        const auto nExit = process.WaitForExit(30s);
        ASSERT_TRUE(nExit) << "did not end after the box";
        EXPECT_EQ(*nExit, 0u);
    }
};

TEST_F(SaveRun, TheDemoOnItsDefaultMachineStoresEachDrivesCurrentSpeed) {
    RunQuietly(Demo(), "/save", OnMachine(""));
    ExpectApplicationValues(Demo());
    ExpectDrive("E:", "QRVX;CD-ROM 40X;1.02;", 40);
    ExpectDrive("G:", "ZANTRIX;CDR-4812;2.10;04/12/99", 32);
}

TEST_F(SaveRun, AMachineReachedOnlyThroughAspiStoresTheSameValues) {
    RunQuietly(Demo(), "-SAVE", OnMachine(WriteTempFile("aspi-only.json", ASPI_ONLY_MACHINE)));
    ExpectApplicationValues(Demo());
    ExpectDrive("E:", "QRVX;CD-ROM 40X;1.02;", 40);
    ExpectDrive("G:", "ZANTRIX;CDR-4812;2.10;04/12/99", 32);
}

TEST_F(SaveRun, TheRealProgramFindsNoDriveUnderWineAndSaysSo) {
    CProcess process(Real(), "/save");
    ExpectNoDriveBoxAndExit(process);
    ExpectNoDriveValues();
}

TEST_F(SaveRun, TheDemoOnAMachineWithoutUsableDrivesSaysSo) {
    const auto strFile = WriteTempFile("no-usable.json", R"({ "drives": [
        { "root": "C:\\", "type": "fixed" },
        { "root": "E:\\", "type": "cdrom", "additionalLength": 4 } ] })");
    CProcess process(Demo(), "/save", OnMachine(strFile));
    ExpectNoDriveBoxAndExit(process);
    ExpectNoDriveValues();
}

TEST_F(SaveRun, AMalformedMachineFileIsNamedWithItsFieldAndEndsWithCode2) {
    const auto strFile = WriteTempFile("bad.json", R"({ "drives": [
        { "root": "C:\\", "type": "fixed" },
        { "root": "E:\\", "type": "cdrom", "speeds": [8, "fast"] } ] })");
    CProcess process(Demo(), "/save", OnMachine(strFile));
    const auto box = WaitForMessageBox(process.Id(), 30s);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->strCaption, "Quorvex");
    EXPECT_THAT(box->strText, ::testing::HasSubstr(strFile));
    EXPECT_THAT(box->strText, ::testing::HasSubstr("drives[1].speeds[1]"));
    Dismiss(*box);
    const auto nExit = process.WaitForExit(30s);
    ASSERT_TRUE(nExit);
    EXPECT_EQ(*nExit, 2u);
    for (HKEY hRoot : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        EXPECT_THAT(ValueNames(hRoot, APP_KEY), IsEmpty());
        EXPECT_FALSE(ReadValue(hRoot, RUN_KEY, "Quorvex"));
    }
}

RegistryValue Dword(DWORD dwValue) {
    return {REG_DWORD,
            {static_cast<BYTE>(dwValue), static_cast<BYTE>(dwValue >> 8),
             static_cast<BYTE>(dwValue >> 16), static_cast<BYTE>(dwValue >> 24)}};
}
RegistryValue Text(const std::string& strText) {
    return {REG_SZ, {strText.c_str(), strText.c_str() + strText.size() + 1}};
}

TEST_F(SaveRun, AnOlderInstallationsMachineWideValuesAreCarriedOverOnce) {
    // An older version run by an administrator kept everything machine-wide: a switch turned
    // off, and the values of a drive this machine no longer has.
    const std::vector<std::pair<std::string, RegistryValue>> aOlder{
        {"Keep_Speed", Dword(0)},
        {"H: Model", Text("OLD;DRIVE;1.0;")},
        {"H: Speed", Dword(12)},
        {"H: Detected", {REG_BINARY, {8, 0, 0x5A, 0x05, 12, 0, 0x87, 0x08}}}};
    for (const auto& [strName, value] : aOlder)
        WriteValue(HKEY_LOCAL_MACHINE, APP_KEY, strName, value);

    RunQuietly(Demo(), "/save", OnMachine(""));
    for (const auto& [strName, value] : aOlder) {
        const auto copied = ReadValue(HKEY_CURRENT_USER, APP_KEY, strName);
        ASSERT_TRUE(copied) << strName;
        EXPECT_EQ(copied->dwType, value.dwType) << strName;
        EXPECT_EQ(copied->aData, value.aData) << strName;
        const auto kept = ReadValue(HKEY_LOCAL_MACHINE, APP_KEY, strName);
        ASSERT_TRUE(kept) << "a copy, not a move: " << strName;
        EXPECT_EQ(kept->aData, value.aData) << strName;
    }
    ExpectDrive("E:", "QRVX;CD-ROM 40X;1.02;", 40);

    // Once the user's key exists, the machine's is not read again.
    WriteValue(HKEY_LOCAL_MACHINE, APP_KEY, "Keep_Speed", Dword(1));
    WriteValue(HKEY_LOCAL_MACHINE, APP_KEY, "J: Speed", Dword(4));
    RunQuietly(Demo(), "/save", OnMachine(""));
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, APP_KEY, "Keep_Speed")->AsDword(), 0u);
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, APP_KEY, "J: Speed"));
}

// A folder whose name the ANSI code page cannot spell: GetModuleFileNameA would give question
// marks there, and a Run entry made from them would name no file.
class OutsideTheCodePage : public SaveRun {
protected:
    void SetUp() override {
        SaveRun::SetUp();
        wchar_t szTemp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, szTemp);
        m_strFolder = std::wstring(szTemp) + L"\u0414\u0438\u0441\u043a";
        m_strExe = m_strFolder + L"\\quorvex-demo.exe";
        CreateDirectoryW(m_strFolder.c_str(), nullptr);
        ASSERT_TRUE(CopyFileW(Widen(Demo()).c_str(), m_strExe.c_str(), FALSE));
    }
    void TearDown() override {
        DeleteFileW(m_strExe.c_str());
        RemoveDirectoryW(m_strFolder.c_str());
        SaveRun::TearDown();
    }
    std::wstring m_strFolder;
    std::wstring m_strExe;
};

TEST_F(OutsideTheCodePage, TheRunEntryNamesTheExeExactly) {
    BOOL bLost = FALSE;
    WideCharToMultiByte(CP_ACP, 0, m_strFolder.c_str(), -1, nullptr, 0, nullptr, &bLost);
    ASSERT_TRUE(bLost) << "the ANSI code page spells the folder's name: nothing to show";

    CProcess process(m_strExe, "/save", OnMachine(""));
    const auto nExit = process.WaitForExit(60s);
    ASSERT_TRUE(nExit);
    EXPECT_EQ(*nExit, 0u);
    ExpectRunEntry(m_strExe);
}

} // namespace
} // namespace qv::e2e
