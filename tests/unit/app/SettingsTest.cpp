#include "tests/support/AppFixture.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace qv::test {
namespace {

class SettingsTest : public CAppFixture {};

std::vector<BYTE> ExePathBytes(const std::string& strPath) {
    std::vector<BYTE> aData(strPath.begin(), strPath.end());
    aData.resize(260, 0);
    return aData;
}

TEST_F(SettingsTest, ConstructionKnowsTheExecutableAndTheOperatingSystem) {
    m_sim.Shell().SetExePath("D:\\Tools\\Quorvex.exe");
    m_sim.Shell().SetPlatformId(PLATFORM_WIN32_WINDOWS);
    const CQuorvexApp& app = Construct();

    EXPECT_EQ(app.m_strExePath, "D:\\Tools\\Quorvex.exe");
    EXPECT_EQ(app.m_osvi.dwOSVersionInfoSize, OS_VERSION_INFO_SIZE);
    EXPECT_EQ(app.m_osvi.dwPlatformId, PLATFORM_WIN32_WINDOWS);
    EXPECT_EQ(app.GetPlatform().dwPlatformId, PLATFORM_WIN32_WINDOWS);
}

// The Run entry names the executable by its wide path, read whole however long it is; "ExePath"
// keeps the ANSI form, cut to its 260-byte value.

struct ExePathCase {
    const char* pszName;
    std::u16string strPath;
    std::string strAnsiStored;
    bool bRunEntry; // false: a path that cannot be read whole names no file
    friend void PrintTo(const ExePathCase& test, std::ostream* pOut) { *pOut << test.pszName; }
};

std::u16string LongPath(std::size_t nLength) {
    return u"C:\\" + std::u16string(nLength - 3, u'd');
}
// A long path's ANSI form as "ExePath" keeps it: 259 characters and room for the zero.
std::string AnsiCut() {
    return "C:\\" + std::string(256, 'd');
}

class ExePathTest : public CAppFixture, public ::testing::WithParamInterface<ExePathCase> {};

TEST_P(ExePathTest, TheRunEntryNamesTheWholeWidePathAndExePathItsAnsiForm) {
    m_sim.Shell().SetExePath(GetParam().strPath);
    Construct();
    if (GetParam().bRunEntry)
        EXPECT_EQ(RunEntry(REGKEY_CURRENT_USER), RunCommandFor(GetParam().strPath));
    else
        EXPECT_FALSE(RunEntry(REGKEY_CURRENT_USER));
    EXPECT_EQ(AppValue(REGKEY_CURRENT_USER, "ExePath"),
              (StoredValue{REGTYPE_SZ, ExePathBytes(GetParam().strAnsiStored)}));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ExePathTest,
    ::testing::Values(ExePathCase{"OutsideTheAnsiCodePage", u"C:\\Диск\\Quorvex.exe",
                                  "C:\\????\\Quorvex.exe", true},
                      ExePathCase{"LongestThatFits", LongPath(LONGEST_PATH - 1), AnsiCut(), true},
                      ExePathCase{"FillingTheLongestBuffer", LongPath(LONGEST_PATH), AnsiCut(),
                                  false},
                      ExePathCase{"BeyondTheLongestBuffer", LongPath(40000), AnsiCut(), false}),
    [](const auto& test) { return std::string(test.param.pszName); });

// Later starts read what is stored.

TEST_F(SettingsTest, RunOnbootOffWritesNoRunEntryAndLeavesAnOldOneAlone) {
    Registry().PutDword(REGKEY_CURRENT_USER, SETTINGS_KEY, "RunOnboot", 0);
    EXPECT_FALSE(Construct().m_bRunOnBoot);
    EXPECT_FALSE(RunEntry(REGKEY_CURRENT_USER));

    Registry().PutString(REGKEY_CURRENT_USER, APP_RUN_KEY, APP_NAME, "\"C:\\Old.exe\" /boot");
    Construct();
    EXPECT_EQ(RunEntry(REGKEY_CURRENT_USER), StoredText("\"C:\\Old.exe\" /boot"));
}

TEST_F(SettingsTest, AMovedExecutableRewritesTheRunEntryAndExePath) {
    m_sim.Shell().SetExePath("C:\\Old\\Quorvex.exe");
    Construct();
    m_sim.Shell().SetExePath("E:\\New\\Quorvex.exe");
    Construct();

    EXPECT_EQ(RunEntry(REGKEY_CURRENT_USER), RunCommandFor(u"E:\\New\\Quorvex.exe"));
    EXPECT_EQ(AppValue(REGKEY_CURRENT_USER, "ExePath"),
              (StoredValue{REGTYPE_SZ, ExePathBytes("E:\\New\\Quorvex.exe")}));
}

// A switch is any four bytes, whatever their type, and on unless they are all zero; a stored
// switch is never rewritten at start. A value that does not fit counts as missing: on, and
// stored as 1.
struct StoredSwitchCase {
    const char* pszName;
    StoredValue stored;
    bool bOn;
    bool bRewritten;
    friend void PrintTo(const StoredSwitchCase& test, std::ostream* pOut) { *pOut << test.pszName; }
};

class StoredSwitchTest : public CAppFixture,
                         public ::testing::WithParamInterface<StoredSwitchCase> {};

TEST_P(StoredSwitchTest, BothSwitchesReadAlike) {
    for (const char* pszSwitch : {"Keep_Speed", "RunOnboot"})
        Registry().Put(REGKEY_CURRENT_USER, SETTINGS_KEY, pszSwitch, GetParam().stored.dwType,
                       GetParam().stored.aData);
    const CQuorvexApp& app = Construct();
    EXPECT_EQ(app.m_bKeepSpeed, GetParam().bOn);
    EXPECT_EQ(app.m_bRunOnBoot, GetParam().bOn);
    EXPECT_EQ(RunEntry(REGKEY_CURRENT_USER).has_value(), GetParam().bOn);
    const StoredValue expected =
        GetParam().bRewritten ? StoredValue{REGTYPE_DWORD, {1, 0, 0, 0}} : GetParam().stored;
    for (const char* pszSwitch : {"Keep_Speed", "RunOnboot"})
        EXPECT_EQ(AppValue(REGKEY_CURRENT_USER, pszSwitch), expected) << pszSwitch;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, StoredSwitchTest,
    ::testing::Values(
        StoredSwitchCase{"Zero", {REGTYPE_DWORD, {0, 0, 0, 0}}, false, false},
        StoredSwitchCase{"Two", {REGTYPE_DWORD, {2, 0, 0, 0}}, true, false},
        StoredSwitchCase{"AllBitsSet", {REGTYPE_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}}, true, false},
        StoredSwitchCase{"OneByteBinaryZero", {REGTYPE_BINARY, {0}}, false, false},
        StoredSwitchCase{"TextZeroIsTheNumber30h", StoredText("0"), true, false},
        StoredSwitchCase{
            "EightBytesDoNotFit", {REGTYPE_BINARY, {0, 0, 0, 0, 0, 0, 0, 0}}, true, true}),
    [](const auto& test) { return std::string(test.param.pszName); });

TEST_F(SettingsTest, AWriteThatFailsLeavesTheDefaultsInForce) {
    Registry().FailSetValue(REGKEY_CURRENT_USER, SETTINGS_KEY, "Keep_Speed");
    Registry().FailSetValue(REGKEY_CURRENT_USER, APP_RUN_KEY, APP_NAME);
    const CQuorvexApp& app = Construct();
    EXPECT_TRUE(app.m_bKeepSpeed);
    EXPECT_FALSE(AppValue(REGKEY_CURRENT_USER, "Keep_Speed"));
    EXPECT_FALSE(RunEntry(REGKEY_CURRENT_USER));
    EXPECT_EQ(AppDword(REGKEY_CURRENT_USER, "RunOnboot"), 1u);
    EXPECT_TRUE(AppValue(REGKEY_CURRENT_USER, "ExePath"));
}

} // namespace
} // namespace qv::test
