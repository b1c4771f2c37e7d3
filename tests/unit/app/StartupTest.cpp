#include "app/QuorvexCmdLine.h"
#include "tests/support/AppFixture.h"
#include "tests/support/SimFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qv::test {
namespace {

TEST(CmdLineTest, OnlySaveRestoreOrBootWholeAfterOneSlashOrDashCountInAnyCase) {
    struct Case {
        std::vector<const char*> aArgs; // after the program's name
        bool bSave;
        bool bRestore;
    };
    const Case aCases[] = {
        {{"/SAVE"}, true, false},         {{"-Save"}, true, false},
        {{"/boot"}, false, true},         {{"-RESTORE"}, false, true},
        {{"/boot", "/save"}, true, true}, {{"/x", "readme.txt", "-save"}, true, false},
        {{"save"}, false, false},         {{"/saves"}, false, false},
        {{"/sav"}, false, false},         {{"//save"}, false, false},
        {{"\\save"}, false, false},       {{"-", "/", ""}, false, false},
    };
    for (const Case& c : aCases) {
        SCOPED_TRACE(::testing::PrintToString(c.aArgs));
        // A program name that would count, were it taken for an argument.
        std::vector<const char*> aArgv{"/save"};
        aArgv.insert(aArgv.end(), c.aArgs.begin(), c.aArgs.end());
        CQuorvexCmdLine cmdLine;
        cmdLine.Parse(static_cast<int>(aArgv.size()), aArgv.data());
        EXPECT_EQ(cmdLine.m_bSave, c.bSave);
        EXPECT_EQ(cmdLine.m_bRestore, c.bRestore);
    }
}

// Completions come later, on the ASPI manager's thread.
sim::SimDriveConfig SlowDrive(const char* pszRoot, int nTarget, int nSpeed) {
    sim::SimCdromConfig cdrom;
    cdrom.nCurrent = nSpeed;
    cdrom.nLatencyMs = 20;
    return AspiCdrom(pszRoot, 0, nTarget, cdrom);
}

class StartupTest : public CAppFixture {
protected:
    StartupTest() : CAppFixture(AspiMachine({SlowDrive("E:\\", 1, 24), SlowDrive("G:\\", 2, 8)})) {}

    bool Start(std::vector<const char*> aArgs) { return Construct(std::move(aArgs)).Startup(); }
};

// Which run a command line gets; those with a window load the rich-edit library for it, and
// leave the drives to the dialog. /boot saves nothing even with /save. The save run has no
// window, and waits for the drives' identification before it stores their speeds.
TEST_F(StartupTest, WithoutSaveOrWithBootTheDialogRunsElseTheSaveRunStoresEveryDrivesSpeed) {
    for (const bool bBoot : {false, true}) {
        SCOPED_TRACE(bBoot);
        EXPECT_FALSE(Start(bBoot ? std::vector{"/save", "/boot"} : std::vector{"/x"}));
        EXPECT_EQ(m_dialog.m_nRuns, bBoot ? 2 : 1);
        EXPECT_EQ(m_dialog.m_bBootMode, bBoot);
        EXPECT_EQ(m_pApp->GetDriveList(), nullptr);
        EXPECT_FALSE(AppValue(REGKEY_CURRENT_USER, "E: Speed"));
        EXPECT_EQ(m_sim.Shell().m_aLibraries,
                  std::vector<std::string>(m_dialog.m_nRuns, "RichEd32.Dll"));
    }
    EXPECT_FALSE(Start({"/save"}));
    EXPECT_EQ(m_dialog.m_nRuns, 2);
    EXPECT_EQ(m_sim.Shell().m_aLibraries.size(), 2u);
    EXPECT_TRUE(m_sim.Shell().m_aBoxes.empty());
    EXPECT_EQ(AppValue(REGKEY_CURRENT_USER, "E: Speed"), StoredDword(24));
    EXPECT_EQ(AppValue(REGKEY_CURRENT_USER, "G: Speed"), StoredDword(8));
    EXPECT_FALSE(Registry().HasKey(REGKEY_LOCAL_MACHINE, SETTINGS_KEY));
    EXPECT_EQ(Registry().OpenKeyCount(), 0);
}

// An older machine-wide Run entry goes on starting the program at logon after the user turned run
// at boot off: such a start ends at once, with nothing shown or written. The user's own value
// decides, or the machine-wide one that is yet to be carried over to the user. While it is off no
// start writes the user's Run entry, nor removes an old one.
TEST_F(StartupTest, ALogonStartTheUserTurnedOffEndsAtOnceTouchingNothing) {
    const struct {
        const char* pszWhat;
        RegKey hRoot;
        DWORD dwRunOnBoot;
        const char* pszSwitch;
        bool bEnds;
    } aStarts[] = {
        {"off, yet to be carried over", REGKEY_LOCAL_MACHINE, 0, "/boot", true},
        {"off", REGKEY_CURRENT_USER, 0, "/boot", true},
        {"off, started by the user", REGKEY_CURRENT_USER, 0, "/x", false},
        {"on", REGKEY_CURRENT_USER, 2, "/boot", false},
    };
    const StoredValue oldRunEntry = StoredText("\"C:\\Old.exe\" /boot");
    Registry().Put(REGKEY_CURRENT_USER, APP_RUN_KEY, APP_NAME, oldRunEntry);
    for (const auto& start : aStarts) {
        SCOPED_TRACE(start.pszWhat);
        Registry().Put(start.hRoot, SETTINGS_KEY, "RunOnboot", StoredDword(start.dwRunOnBoot));
        const std::size_t nWrites = Registry().Writes().size();
        const int nRuns = m_dialog.m_nRuns;
        EXPECT_FALSE(Start({start.pszSwitch}));
        EXPECT_EQ(m_dialog.m_nRuns - nRuns, start.bEnds ? 0 : 1);
        EXPECT_EQ(Registry().Writes().size() == nWrites, start.bEnds);
        EXPECT_TRUE(m_sim.Shell().m_aBoxes.empty());
        EXPECT_EQ(RunEntry(REGKEY_CURRENT_USER),
                  start.dwRunOnBoot ? RunCommandFor(u"C:\\Program Files\\Quorvex\\Quorvex.exe")
                                    : oldRunEntry);
    }
}

class NoDriveTest : public CAppFixture {
protected:
    NoDriveTest() : CAppFixture(NtMachine({Volume("D:\\", DRIVETYPE_REMOVABLE)})) {}
};

TEST_F(NoDriveTest, TheSaveRunShowsTheMessageExitsWithZeroAndWritesNoDriveValue) {
    EXPECT_FALSE(Construct({"/save"}).Startup());
    EXPECT_EQ(m_sim.Shell().m_aBoxes,
              (std::vector<ShownMessageBox>{
                  {NULL_WINDOW, "Quorvex was failed to find any CD-ROM drives. Work finished.",
                   "Quorvex", MSGBOX_OK | MSGBOX_SYSTEMMODAL}}));
    EXPECT_EQ(m_sim.Shell().m_nExitCode, 0u);
    EXPECT_EQ(m_dialog.m_nRuns, 0);
    EXPECT_EQ(Registry().Writes(), (std::vector<std::string>{"Keep_Speed", "RunOnboot", APP_NAME,
                                                             "Last Update", "ExePath"}))
        << "only construction's own values, the first day of the update schedule among them";
}

} // namespace
} // namespace qv::test
