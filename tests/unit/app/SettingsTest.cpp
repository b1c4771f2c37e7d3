// What a start reads and writes, and where: every run keeps the settings and the Run entry under
// HKEY_CURRENT_USER, whether or not it may write HKEY_LOCAL_MACHINE, and takes over once what an
// older version left machine-wide.
#include "tests/support/AppFixture.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qv::test {
namespace {

class SettingsTest : public CAppFixture {};

// The Run entry names the executable by its wide path, read whole however long it is, and is
// rewritten at every start, so it follows a moved executable. "ExePath" keeps the ANSI form, cut
// to its 260-byte value: 259 characters and room for the zero. The OS version record, which
// chooses how the drives' trays are reached, is handed down.
TEST_F(SettingsTest, TheRunEntryNamesTheWholeWidePathAndExePathItsAnsiForm) {
    const std::u16string strLongest = u"C:\\" + std::u16string(LONGEST_PATH - 3, u'd');
    const std::string strAnsiCut = "C:\\" + std::string(256, 'd');
    const struct {
        std::u16string strPath;
        std::string strAnsiStored;
        bool bRunEntry; // false: a path that cannot be read whole names no file
    } aPaths[] = {
        {strLongest, strAnsiCut, false},
        {u"C:\\Диск\\Quorvex.exe", "C:\\????\\Quorvex.exe", true},
        {strLongest.substr(0, LONGEST_PATH - 1), strAnsiCut, true},
    };
    m_sim.Shell().m_dwPlatformId = PLATFORM_WIN32_WINDOWS;
    for (const auto& path : aPaths) {
        SCOPED_TRACE(path.strPath.size());
        m_sim.Shell().SetExePath(path.strPath);
        EXPECT_EQ(Construct().GetPlatform().dwPlatformId, PLATFORM_WIN32_WINDOWS);
        EXPECT_EQ(RunEntry(REGKEY_CURRENT_USER),
                  path.bRunEntry ? std::optional(RunCommandFor(path.strPath)) : std::nullopt);
        std::vector<BYTE> aExePath(path.strAnsiStored.begin(), path.strAnsiStored.end());
        aExePath.resize(260, 0);
        EXPECT_EQ(AppValue(REGKEY_CURRENT_USER, "ExePath"), (StoredValue{REGTYPE_SZ, aExePath}));
    }
}

// A switch is any four bytes, whatever their type; "RunOnboot" is on unless they are all zero,
// "Keep_Speed" only when they read 1. A stored switch is never rewritten at start. A value that
// does not fit counts as missing: on, and stored as 1.
TEST_F(SettingsTest, TheTwoSwitchesRead) {
    const struct {
        const char* pszWhat;
        StoredValue stored;
        bool bKeepSpeed;
        bool bRunOnBoot;
        bool bRewritten;
    } aForms[] = {
        {"one", StoredDword(1), true, true, false},
        {"two", StoredDword(2), false, true, false},
        {"one byte binary zero", {REGTYPE_BINARY, {0}}, false, false, false},
        {"text zero is the number 30h", StoredText("0"), false, true, false},
        {"eight bytes do not fit", {REGTYPE_BINARY, {0, 0, 0, 0, 0, 0, 0, 0}}, true, true, true},
    };
    for (const auto& form : aForms) {
        SCOPED_TRACE(form.pszWhat);
        for (const char* pszSwitch : {"Keep_Speed", "RunOnboot"})
            Registry().Put(REGKEY_CURRENT_USER, SETTINGS_KEY, pszSwitch, form.stored);
        const CQuorvexApp& app = Construct();
        EXPECT_EQ(app.m_bKeepSpeed, form.bKeepSpeed);
        EXPECT_EQ(app.m_bRunOnBoot, form.bRunOnBoot);
        const StoredValue expected = form.bRewritten ? StoredDword(1) : form.stored;
        for (const char* pszSwitch : {"Keep_Speed", "RunOnboot"})
            EXPECT_EQ(AppValue(REGKEY_CURRENT_USER, pszSwitch), expected) << pszSwitch;
    }
}

TEST_F(SettingsTest, AWriteThatFailsLeavesTheDefaultsInForce) {
    Registry().FailSetValue(REGKEY_CURRENT_USER, SETTINGS_KEY, "Keep_Speed");
    Registry().FailSetValue(REGKEY_CURRENT_USER, APP_RUN_KEY, APP_NAME);
    const CQuorvexApp& app = Construct();
    EXPECT_TRUE(app.m_bKeepSpeed);
    EXPECT_EQ(AppValue(REGKEY_CURRENT_USER, "RunOnboot"), StoredDword(1));
    EXPECT_TRUE(AppValue(REGKEY_CURRENT_USER, "ExePath"));
}

// Each click turns what is stored the other way, not what the start read: any number but 0 is
// on, and a value that cannot be read is off.
TEST_F(SettingsTest, RunAtBootTurnsTheStoredValueTheOtherWay) {
    CQuorvexApp& app = Construct();
    const std::pair<StoredValue, bool> aClicks[] = {
        {StoredDword(0), true},
        {StoredDword(5), false},
        {StoredValue{REGTYPE_BINARY, {1, 0, 0, 0, 0}}, true},
    };
    for (const auto& [planted, bOnAfter] : aClicks) {
        Registry().Put(REGKEY_CURRENT_USER, SETTINGS_KEY, "RunOnboot", planted);
        app.ToggleRunOnBoot();
        EXPECT_EQ(RunEntry(REGKEY_CURRENT_USER).has_value(), bOnAfter);
        EXPECT_EQ(AppValue(REGKEY_CURRENT_USER, "RunOnboot"), StoredDword(bOnAfter));
    }
    EXPECT_TRUE(app.m_bRunOnBoot) << "the start's reading stays";
    EXPECT_EQ(Registry().OpenKeyCount(), 0);
}

// An elevated run may write the machine-wide Run key; any other (the parameter true) may only
// read it.
class RegistryRootTest : public CAppFixture, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        if (GetParam())
            Registry().RefuseMachineWrites();
    }
};

TEST_P(RegistryRootTest, TheFirstStartLeavesOneSetOfSettingsAndOneRunEntryUnderTheUser) {
    m_sim.Shell().SetExePath(u"C:\\Q.exe");
    EXPECT_EQ(Construct().GetPlatform().registryRoot, REGKEY_CURRENT_USER);
    EXPECT_EQ(RunEntry(REGKEY_CURRENT_USER), RunCommandFor(u"C:\\Q.exe"));
    EXPECT_FALSE(Registry().HasKey(REGKEY_LOCAL_MACHINE, SETTINGS_KEY));
    EXPECT_FALSE(RunEntry(REGKEY_LOCAL_MACHINE));
    EXPECT_EQ(Registry().OpenKeyCount(), 0);
}

// What an older version, run by an administrator, left in the machine's key is copied once, and
// turning run at boot off then removes every Run entry the process may remove.
TEST_P(RegistryRootTest, AnOlderVersionsMachineWideValuesAreCopiedOnce) {
    const std::pair<std::string, StoredValue> aOlderValues[] = {
        {"Keep_Speed", StoredDword(0)},
        {"RunOnboot", StoredDword(1)},
        {"E: Model", StoredText("QRVX;CD-ROM;1.00;")},
        {"E: Speed", StoredDword(8)},
        {"E: Detected", {REGTYPE_BINARY, {8, 0, 0x5A, 0x05, 16, 0, 0xB4, 0x0A}}},
    };
    for (const auto& [strName, value] : aOlderValues)
        Registry().Put(REGKEY_LOCAL_MACHINE, SETTINGS_KEY, strName, value);
    // Too large for the copy: a name longer than any the program writes, and data longer than
    // any it reads.
    Registry().Put(REGKEY_LOCAL_MACHINE, SETTINGS_KEY, std::string(300, 'n'), StoredDword(1));
    Registry().Put(REGKEY_LOCAL_MACHINE, SETTINGS_KEY, "H: Detected",
                   {REGTYPE_BINARY, std::vector<BYTE>(4096, 1)});
    Registry().Put(REGKEY_LOCAL_MACHINE, APP_RUN_KEY, APP_NAME, StoredDword(1));

    EXPECT_FALSE(Construct().m_bKeepSpeed) << "the copied value is read";
    for (const auto& [strName, value] : aOlderValues) {
        EXPECT_EQ(AppValue(REGKEY_CURRENT_USER, strName), value) << strName;
        EXPECT_EQ(AppValue(REGKEY_LOCAL_MACHINE, strName), value) << "kept: " << strName;
    }
    EXPECT_FALSE(AppValue(REGKEY_CURRENT_USER, std::string(300, 'n')));
    EXPECT_FALSE(AppValue(REGKEY_CURRENT_USER, "H: Detected"));

    // The user's key exists now: later changes to the machine's are not taken over.
    Registry().Put(REGKEY_LOCAL_MACHINE, SETTINGS_KEY, "Keep_Speed", StoredDword(1));
    Registry().Put(REGKEY_LOCAL_MACHINE, SETTINGS_KEY, "F: Speed", StoredDword(4));
    CQuorvexApp& app = Construct();
    EXPECT_FALSE(app.m_bKeepSpeed);
    EXPECT_EQ(AppValue(REGKEY_CURRENT_USER, "Keep_Speed"), StoredDword(0));
    EXPECT_FALSE(AppValue(REGKEY_CURRENT_USER, "F: Speed"));

    ASSERT_TRUE(RunEntry(REGKEY_CURRENT_USER));
    app.ToggleRunOnBoot();
    EXPECT_FALSE(RunEntry(REGKEY_CURRENT_USER));
    EXPECT_EQ(RunEntry(REGKEY_LOCAL_MACHINE).has_value(), GetParam());
    EXPECT_EQ(Registry().OpenKeyCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Rights, RegistryRootTest, ::testing::Bool(),
                         [](const auto& test) { return test.param ? "Unelevated" : "Elevated"; });

} // namespace
} // namespace qv::test
