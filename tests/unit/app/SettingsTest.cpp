#include "tests/support/AppFixture.h"

#include <gtest/gtest.h>

#include <string>

namespace qv::test {
namespace {

class SettingsTest : public CAppFixture {};

std::vector<BYTE> ExePathBytes(const std::string& strPath) {
    std::vector<BYTE> aData(strPath.begin(), strPath.end());
    aData.resize(260, 0);
    return aData;
}

// The first start on a machine that has never seen the program.

TEST_F(SettingsTest, FirstStartCreatesTheKeyWithBothSwitchesOnAndTheRunEntry) {
    m_sim.Shell().SetExePath("C:\\Program Files\\Q\\Q.exe");
    const CQuorvexApp& app = Construct();

    EXPECT_TRUE(app.m_bMachineWide);
    EXPECT_TRUE(app.m_bKeepSpeed);
    EXPECT_TRUE(app.m_bRunOnBoot);
    EXPECT_FALSE(app.m_bBootMode);
    EXPECT_EQ(AppDword(REGKEY_LOCAL_MACHINE, "Keep_Speed"), 1u);
    EXPECT_EQ(AppDword(REGKEY_LOCAL_MACHINE, "RunOnboot"), 1u);
    EXPECT_EQ(AppValue(REGKEY_LOCAL_MACHINE, "ExePath"),
              (StoredValue{REGTYPE_SZ, ExePathBytes("C:\\Program Files\\Q\\Q.exe")}));
    // A path with blanks is quoted so that the system runs the whole of it.
    EXPECT_EQ(RunEntry(REGKEY_LOCAL_MACHINE), StoredText("\"C:\\Program Files\\Q\\Q.exe\" /boot"));
    EXPECT_EQ(Registry().OpenKeyCount(), 0);
}

TEST_F(SettingsTest, ConstructionKnowsTheExecutableAndTheOperatingSystem) {
    m_sim.Shell().SetExePath("D:\\Tools\\Quorvex.exe");
    m_sim.Shell().SetPlatformId(PLATFORM_WIN32_WINDOWS);
    const CQuorvexApp& app = Construct();

    EXPECT_EQ(app.m_strExePath, "D:\\Tools\\Quorvex.exe");
    EXPECT_EQ(app.m_strInstanceClass, "Quorvex (Velnor)");
    EXPECT_EQ(app.m_osvi.dwOSVersionInfoSize, OS_VERSION_INFO_SIZE);
    EXPECT_EQ(app.m_osvi.dwPlatformId, PLATFORM_WIN32_WINDOWS);
    EXPECT_EQ(app.GetPlatform().dwPlatformId, PLATFORM_WIN32_WINDOWS);
}

TEST_F(SettingsTest, APathThatFillsTheBufferKeepsRoomForItsZero) {
    const std::string strLong = "C:\\" + std::string(300, 'd') + "\\Q.exe";
    m_sim.Shell().SetExePath(strLong);
    const CQuorvexApp& app = Construct();

    const std::string strKept = strLong.substr(0, 259);
    EXPECT_EQ(app.m_strExePath, strKept);
    EXPECT_EQ(AppValue(REGKEY_LOCAL_MACHINE, "ExePath"),
              (StoredValue{REGTYPE_SZ, ExePathBytes(strKept)}));
    EXPECT_EQ(RunEntry(REGKEY_LOCAL_MACHINE), StoredText("\"" + strKept + "\" /boot"));
}

// Later starts read what is stored.

TEST_F(SettingsTest, KeepSpeedIsOnForOneOnlyAndAnotherNumberIsNotRewritten) {
    Registry().PutDword(REGKEY_LOCAL_MACHINE, SETTINGS_KEY, "Keep_Speed", 2);
    EXPECT_FALSE(Construct().m_bKeepSpeed);
    EXPECT_EQ(AppDword(REGKEY_LOCAL_MACHINE, "Keep_Speed"), 2u);
    EXPECT_EQ(std::count(Registry().Writes().begin(), Registry().Writes().end(), "Keep_Speed"), 0);
}

TEST_F(SettingsTest, RunOnbootOffWritesNoRunEntryAndLeavesAnOldOneAlone) {
    Registry().PutDword(REGKEY_LOCAL_MACHINE, SETTINGS_KEY, "RunOnboot", 0);
    EXPECT_FALSE(Construct().m_bRunOnBoot);
    EXPECT_FALSE(RunEntry(REGKEY_LOCAL_MACHINE));

    Registry().PutString(REGKEY_LOCAL_MACHINE, APP_RUN_KEY, APP_NAME, "\"C:\\Old.exe\" /boot");
    Construct();
    EXPECT_EQ(RunEntry(REGKEY_LOCAL_MACHINE), StoredText("\"C:\\Old.exe\" /boot"));
}

TEST_F(SettingsTest, AMovedExecutableRewritesTheRunEntryAndExePath) {
    m_sim.Shell().SetExePath("C:\\Old\\Quorvex.exe");
    Construct();
    m_sim.Shell().SetExePath("E:\\New\\Quorvex.exe");
    Construct();

    EXPECT_EQ(RunEntry(REGKEY_LOCAL_MACHINE), StoredText("\"E:\\New\\Quorvex.exe\" /boot"));
    EXPECT_EQ(AppValue(REGKEY_LOCAL_MACHINE, "ExePath"),
              (StoredValue{REGTYPE_SZ, ExePathBytes("E:\\New\\Quorvex.exe")}));
}

TEST_F(SettingsTest, SwitchesAreFourBytesOfAnyTypeAndALongerValueCountsAsMissing) {
    // Eight bytes do not fit: missing, so on, and stored as it should be.
    Registry().Put(REGKEY_LOCAL_MACHINE, SETTINGS_KEY, "Keep_Speed", REGTYPE_BINARY,
                   {0, 0, 0, 0, 0, 0, 0, 0});
    // A one-byte binary 1 fits and reads as 1; the text "1" reads as the number 31h.
    Registry().Put(REGKEY_LOCAL_MACHINE, SETTINGS_KEY, "RunOnboot", REGTYPE_BINARY, {1});
    const CQuorvexApp& app = Construct();
    EXPECT_TRUE(app.m_bKeepSpeed);
    EXPECT_EQ(AppDword(REGKEY_LOCAL_MACHINE, "Keep_Speed"), 1u);
    EXPECT_TRUE(app.m_bRunOnBoot);

    Registry().PutString(REGKEY_LOCAL_MACHINE, SETTINGS_KEY, "RunOnboot", "1");
    EXPECT_FALSE(Construct().m_bRunOnBoot);
    EXPECT_EQ(AppValue(REGKEY_LOCAL_MACHINE, "RunOnboot"), StoredText("1"));
}

TEST_F(SettingsTest, AWriteThatFailsLeavesTheDefaultsInForce) {
    Registry().FailSetValue(REGKEY_LOCAL_MACHINE, SETTINGS_KEY, "Keep_Speed");
    Registry().FailSetValue(REGKEY_LOCAL_MACHINE, APP_RUN_KEY, APP_NAME);
    const CQuorvexApp& app = Construct();
    EXPECT_TRUE(app.m_bKeepSpeed);
    EXPECT_FALSE(AppValue(REGKEY_LOCAL_MACHINE, "Keep_Speed"));
    EXPECT_FALSE(RunEntry(REGKEY_LOCAL_MACHINE));
    EXPECT_EQ(AppDword(REGKEY_LOCAL_MACHINE, "RunOnboot"), 1u);
    EXPECT_TRUE(AppValue(REGKEY_LOCAL_MACHINE, "ExePath"));
}

// A user who may not write HKEY_LOCAL_MACHINE keeps everything under HKEY_CURRENT_USER.

TEST_F(SettingsTest, WithoutAdministrativeRightsEverythingLivesUnderTheCurrentUser) {
    Registry().RefuseMachineWrites();
    m_sim.Shell().SetExePath("C:\\Q.exe");
    const CQuorvexApp& app = Construct();

    EXPECT_FALSE(app.m_bMachineWide);
    EXPECT_EQ(app.GetPlatform().registryRoot, REGKEY_CURRENT_USER);
    EXPECT_EQ(AppDword(REGKEY_CURRENT_USER, "Keep_Speed"), 1u);
    EXPECT_EQ(AppDword(REGKEY_CURRENT_USER, "RunOnboot"), 1u);
    EXPECT_EQ(RunEntry(REGKEY_CURRENT_USER), StoredText("\"C:\\Q.exe\" /boot"));
    EXPECT_FALSE(Registry().HasKey(REGKEY_LOCAL_MACHINE, SETTINGS_KEY));
    EXPECT_FALSE(Registry().HasKey(REGKEY_LOCAL_MACHINE, APP_RUN_KEY));
    EXPECT_EQ(Registry().OpenKeyCount(), 0);
}

} // namespace
} // namespace qv::test
