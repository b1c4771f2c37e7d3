#include "tests/support/AppFixture.h"
#include "tests/support/AspiMachine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qv::test {
namespace {

sim::SimCdromConfig RunningAt(int nSpeed) {
    sim::SimCdromConfig cdrom;
    cdrom.nCurrent = nSpeed;
    return cdrom;
}

class StartupTest : public CAppFixture {
protected:
    StartupTest()
        : CAppFixture(NtMachine({Cdrom("E:\\", RunningAt(24)), Cdrom("G:\\", RunningAt(8))})) {}

    bool Start(std::vector<const char*> aArgs) { return Construct(std::move(aArgs)).Startup(); }
    std::optional<DWORD> SavedSpeed(const char* pszName) {
        return AppDword(REGKEY_CURRENT_USER, pszName);
    }
};

// Which run a command line gets; those with a window load the rich-edit library for it.

TEST_F(StartupTest, WithoutASwitchTheDialogRunsAsUsual) {
    EXPECT_FALSE(Start({"/x"}));
    EXPECT_EQ(m_dialog.m_nRuns, 1);
    EXPECT_FALSE(m_dialog.m_bBootMode);
    EXPECT_EQ(m_pApp->GetDriveList(), nullptr) << "the dialog builds its own list";
    EXPECT_EQ(m_sim.Shell().Libraries(), std::vector<std::string>{"RichEd32.Dll"});
}

TEST_F(StartupTest, BootRunsTheDialogInBootModeAndSavesNothingEvenWithSave) {
    EXPECT_FALSE(Start({"/save", "/boot"}));
    EXPECT_EQ(m_dialog.m_nRuns, 1);
    EXPECT_TRUE(m_dialog.m_bBootMode);
    EXPECT_EQ(m_pApp->GetDriveList(), nullptr) << "the dialog builds its own list";
    EXPECT_FALSE(SavedSpeed("E: Speed"));
    EXPECT_TRUE(m_sim.Shell().Boxes().empty());
    EXPECT_EQ(m_sim.Shell().Libraries(), std::vector<std::string>{"RichEd32.Dll"});
}

TEST_F(StartupTest, TheSaveRunStoresEveryDrivesCurrentSpeedWithoutAWindow) {
    EXPECT_FALSE(Start({"/save"}));

    EXPECT_EQ(m_dialog.m_nRuns, 0);
    EXPECT_TRUE(m_sim.Shell().Boxes().empty());
    EXPECT_EQ(SavedSpeed("E: Speed"), 24u);
    EXPECT_EQ(SavedSpeed("G: Speed"), 8u);
    EXPECT_FALSE(Registry().HasKey(REGKEY_LOCAL_MACHINE, SETTINGS_KEY));
    EXPECT_EQ(Registry().OpenKeyCount(), 0);
    EXPECT_EQ(m_sim.Shell().Libraries(), std::vector<std::string>{});
}

// An older machine-wide Run entry goes on starting the program at logon after the user turned run
// at boot off: such a start ends at once, with nothing shown, touched or written. The user's own
// value decides, or the machine-wide one that is yet to be carried over to the user.
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
        {"off, restore", REGKEY_CURRENT_USER, 0, "/RESTORE", true},
        {"off, started by the user", REGKEY_CURRENT_USER, 0, "/x", false},
        {"on", REGKEY_CURRENT_USER, 2, "/boot", false},
    };
    for (const auto& start : aStarts) {
        SCOPED_TRACE(start.pszWhat);
        Registry().PutDword(start.hRoot, SETTINGS_KEY, "RunOnboot", start.dwRunOnBoot);
        const std::size_t nWrites = Registry().Writes().size();
        const int nRuns = m_dialog.m_nRuns;
        EXPECT_FALSE(Start({start.pszSwitch}));
        EXPECT_EQ(m_dialog.m_nRuns - nRuns, start.bEnds ? 0 : 1);
        EXPECT_EQ(Registry().Writes().size() == nWrites, start.bEnds);
        if (start.bEnds) {
            EXPECT_TRUE(m_sim.Machine().OpenedPaths().empty());
        }
        EXPECT_TRUE(m_sim.Shell().Boxes().empty());
    }
}

class PartlyAnsweringSaveRunTest : public CAppFixture {
protected:
    static sim::SimMachineConfig Machine() {
        sim::SimCdromConfig noInquiry = RunningAt(16);
        noInquiry.bInquiryFails = true;
        sim::SimDriveConfig silent = Cdrom("G:\\");
        silent.bPassThrough = false;
        return NtMachine({Cdrom("E:\\", RunningAt(24)), Cdrom("F:\\", noInquiry), silent});
    }
    PartlyAnsweringSaveRunTest() : CAppFixture(Machine()) {}
};

// What a drive did not answer is not saved over what an earlier save stored for it: a drive
// without a disc may fail every command.
TEST_F(PartlyAnsweringSaveRunTest, ADriveWhosePageWasNeverReadKeepsItsStoredValues) {
    Registry().PutString(REGKEY_CURRENT_USER, SETTINGS_KEY, "G: Model", "QRVX;CD-ROM;1.00;");
    Registry().PutDword(REGKEY_CURRENT_USER, SETTINGS_KEY, "G: Speed", 8);
    Construct({"/save"}).Startup();

    EXPECT_EQ(AppDword(REGKEY_CURRENT_USER, "E: Speed"), 24u);
    EXPECT_EQ(AppValue(REGKEY_CURRENT_USER, "F: Model"), StoredText(";;;"));
    EXPECT_EQ(AppDword(REGKEY_CURRENT_USER, "F: Speed"), 16u);
    EXPECT_EQ(AppValue(REGKEY_CURRENT_USER, "G: Model"), StoredText("QRVX;CD-ROM;1.00;"));
    EXPECT_EQ(AppDword(REGKEY_CURRENT_USER, "G: Speed"), 8u);
}

class AspiSaveRunTest : public CAppFixture {
protected:
    static sim::SimCdromConfig Slow(int nSpeed) {
        sim::SimCdromConfig cdrom = RunningAt(nSpeed);
        cdrom.nLatencyMs = 20;
        return cdrom;
    }
    AspiSaveRunTest()
        : CAppFixture(
              AspiMachine({AspiCdrom("E:\\", 0, 1, Slow(24)), AspiCdrom("F:\\", 0, 2, Slow(16))})) {
    }
};

TEST_F(AspiSaveRunTest, TheSaveRunWaitsForIdentificationOnTheManagersThread) {
    Construct({"/save"}).Startup();
    ASSERT_EQ(m_pApp->GetTransport()->Kind(), TRANSPORT_ASPI);
    EXPECT_EQ(AppDword(REGKEY_CURRENT_USER, "E: Speed"), 24u);
    EXPECT_EQ(AppDword(REGKEY_CURRENT_USER, "F: Speed"), 16u);
}

// No drive to work with.

class NoDriveTest : public CAppFixture {
protected:
    NoDriveTest() : CAppFixture(NtMachine({Volume("D:\\", DRIVETYPE_REMOVABLE)})) {}
};

TEST_F(NoDriveTest, TheSaveRunShowsTheMessageExitsWithZeroAndWritesNoDriveValue) {
    EXPECT_FALSE(Construct({"/save"}).Startup());
    EXPECT_EQ(m_sim.Shell().Boxes(),
              (std::vector<ShownMessageBox>{
                  {NULL_WINDOW, "Quorvex was failed to find any CD-ROM drives. Work finished.",
                   "Quorvex", MSGBOX_OK | MSGBOX_SYSTEMMODAL}}));
    EXPECT_EQ(m_sim.Shell().ExitCode(), 0u);
    EXPECT_EQ(m_dialog.m_nRuns, 0);
    EXPECT_FALSE(m_pApp->m_bBootMode);
    EXPECT_EQ(Registry().Writes(), (std::vector<std::string>{"Keep_Speed", "RunOnboot", APP_NAME,
                                                             "Last Update", "ExePath"}))
        << "only construction's own values, the first day of the update schedule among them";
}

} // namespace
} // namespace qv::test
