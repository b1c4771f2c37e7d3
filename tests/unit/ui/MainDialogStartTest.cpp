#include "tests/support/DialogFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

namespace qv::test {
namespace {

using Texts = std::vector<std::string>;

class MainDialogStartTest : public CDialogFixture {};

// The dialog tests' drives all name a vendor, and none has a one-digit maximum.
TEST(DriveEntryTextTest, ShowsLetterMaximumAndProductWithoutAVendor) {
    DRIVE_STATE drive;
    drive.strDrive = "E:";
    drive.nMaxSpeed = 8;
    drive.strProduct = "CD-ROM";
    EXPECT_EQ(DriveEntryText(drive), " E:   8x  CD-ROM");
}

// The first drive fails in either of two ways: its INQUIRY reply is short (it is identified as
// unusable), or no command reaches it at all (its identification ends in failure). The entry of
// the drive after it commands that drive.
TEST_F(MainDialogStartTest, AnUnusableDriveHasNoEntryAndTheEntriesAfterItCommandTheirOwnDrives) {
    sim::SimDriveConfig unreachable = Cdrom("E:\\");
    unreachable.bPassThrough = false;
    const sim::SimDriveConfig shortInquiry =
        CdromWith("E:\\", [](sim::SimCdromConfig& c) { c.nAdditionalLength = 10; });
    for (const auto& first : {shortInquiry, unreachable}) {
        SCOPED_TRACE(first.bPassThrough ? "short INQUIRY" : "unreachable");
        Use(NtMachine({first, Cdrom("G:\\")}));
        Start();
        EXPECT_EQ(m_view.m_aEntries, (Texts{" G:  40x  QRVX CD-ROM"}));
        EXPECT_EQ(std::pair(m_view.m_nSelectedEntry, m_pDlg->GetSelectedDrive()), std::pair(0, 1));
        EXPECT_EQ(m_view.m_aSpeedTexts, (SpeedTexts{"40x", "40x", "40x  (7040 Kb/s)"}));
        EXPECT_TRUE(m_view.m_bSliderEnabled);

        MoveSlider(16);
        ForgetCommands();
        Command(ID_APPLY);
        EXPECT_EQ(SetSpeedRates('G'), std::vector<int>{16 * 177});
        EXPECT_TRUE(SimDrive('E').Commands().empty());
    }
}

// Both transports fill the same entries, in drive order however late or in whatever order the
// drives answer; a choice outside the entries takes the first. Windows 95/98 has no call that loads
// a tray; the keep-speed marks follow the stored value.
TEST_F(MainDialogStartTest, ListsTheDrivesInOrderAndShowsTheFirstWithItsDetectedSpeeds) {
    for (const auto platform : {sim::SimPlatform::Nt, sim::SimPlatform::Win9x}) {
        const bool bWin9x = platform == sim::SimPlatform::Win9x;
        SCOPED_TRACE(bWin9x ? "Windows 9x, keep speed off" : "NT, keep speed on, answers reversed");
        sim::SimMachineConfig machine = sim::DefaultMachine();
        machine.platform = platform;
        Use(machine);
        m_sim->Registry().Put(REGKEY_CURRENT_USER, SETTINGS_KEY, "Keep_Speed",
                              StoredDword(!bWin9x));
        Create();
        ASSERT_TRUE(m_pDlg->OnInitDialog());
        Settle(!bWin9x);

        EXPECT_EQ(m_view.m_aEntries,
                  (Texts{" E:  40x  QRVX CD-ROM 40X", " G:  48x  ZANTRIX CDR-4812"}));
        EXPECT_EQ(std::pair(m_view.m_nSelectedEntry, m_pDlg->GetSelectedDrive()), std::pair(0, 0));
        EXPECT_EQ(m_view.m_aSpeedTexts, (SpeedTexts{"40x", "40x", "40x  (7040 Kb/s)"}));
        EXPECT_EQ(std::tuple(m_view.m_range, m_view.m_nSliderPos, m_view.m_bSliderEnabled),
                  std::tuple(std::pair(1, 40), 40, true));
        EXPECT_EQ(m_view.m_aTicks, (std::vector<int>{40, 32, 24, 16, 8, 4}));
        EXPECT_TRUE(m_view.m_bRunOnBootChecked);
        EXPECT_TRUE(SetSpeedRates('G').empty()) << "only the selected drive's speeds are detected";
        for (const int nCommand : {ID_POPUP_LOAD, ID_MENU_LOAD})
            EXPECT_EQ(m_view.MenuItem(nCommand), (MENU_ITEM_STATE{false, bWin9x}));
        EXPECT_EQ(m_view.Button(ID_LOAD).first, !bWin9x);
        for (const int nCommand : {ID_POPUP_KEEP_SPEED, ID_MENU_KEEP_SPEED})
            EXPECT_EQ(m_view.MenuItem(nCommand), (MENU_ITEM_STATE{!bWin9x, false}));
        EXPECT_EQ(m_view.m_bTimerRunning, !bWin9x);

        Choose(1);
        EXPECT_EQ(m_pDlg->GetSelectedDrive(), 1);
        EXPECT_EQ(m_view.m_aSpeedTexts, (SpeedTexts{"48x", "32x", "32x  (5632 Kb/s)"}));
        for (const int nEntry : {7, -1}) {
            Choose(1);
            Choose(nEntry);
            EXPECT_EQ(m_pDlg->GetSelectedDrive(), 0) << "the first entry's, for entry " << nEntry;
            EXPECT_EQ(m_view.m_nSelectedEntry, 0) << nEntry;
        }
    }
}

// A held drive answers nothing until it is released: every call the window makes returns
// meanwhile, no handler commands a drive that has no entry yet, then or later, and the answers
// then bring what an instant drive's answers bring.
TEST_F(MainDialogStartTest, EveryCallReturnsWhileTheDrivesTakeTheirTime) {
    SimDrive('E').Hold();
    SimDrive('G').Hold();
    Create();
    EXPECT_TRUE(m_pDlg->OnInitDialog());
    MoveSlider(16);
    for (const int nCommand : {ID_APPLY, ID_LOCK, ID_EJECT, ID_LOAD, ID_SAVE})
        EXPECT_TRUE(m_pDlg->OnCommand(nCommand));
    m_pDlg->OnTimer(ID_KEEP_TIMER);
    m_pDlg->OnDriveChange();
    m_pDlg->OnPaint();
    EXPECT_TRUE(m_view.m_aEntries.empty());
    EXPECT_EQ(m_pDlg->GetSelectedDrive(), -1);
    EXPECT_EQ(m_view.m_aSpeedTexts, (SpeedTexts{"", "", ""}));
    SimDrive('E').Release();
    SimDrive('G').Release();
    Settle();
    EXPECT_EQ(m_view.m_aEntries,
              (Texts{" E:  40x  QRVX CD-ROM 40X", " G:  48x  ZANTRIX CDR-4812"}));
    EXPECT_EQ(m_view.m_aTicks, (std::vector<int>{40, 32, 24, 16, 8, 4}));
    EXPECT_EQ(m_sim->Events().Codes(&Drive(0)),
              (std::vector<int>{RQ_IDENTIFIED, RQ_DETECT_DONE, RQ_SET_SPEED, RQ_REFRESH_CAPS}));
    for (const char cLetter : {'E', 'G'}) {
        const auto aRates = SetSpeedRates(cLetter);
        EXPECT_EQ(std::count(aRates.begin(), aRates.end(), 16 * 177), 0) << cLetter;
        EXPECT_TRUE(m_sim->Machine().Tray(cLetter)->Calls().empty());
    }
}

// The icon comes before the single-instance rule, which comes before any drive is touched.
TEST_F(MainDialogStartTest, ASecondInstanceEndsBeforeTouchingADriveAndTakesItsIconAway) {
    m_view.m_bOnlyInstance = false;
    Create();
    EXPECT_FALSE(m_pDlg->OnInitDialog());
    m_pDlg->OnDestroy();
    EXPECT_FALSE(m_pDlg->IsReady());

    EXPECT_EQ(m_view.m_aCalls, (Calls{"AddTrayIcon", "StartKeepTimer", "ClaimSingleInstance",
                                      "EndDialog 0", "RemoveTrayIcon", "StopKeepTimer"}));
    EXPECT_EQ(m_pApp->GetDriveList(), nullptr) << "no drive was reached";
}

TEST_F(MainDialogStartTest, BootModeShowsTheSplashWithTheTickHeldOffAndKeepsTheWindowHidden) {
    m_sim->Registry().Put(REGKEY_CURRENT_USER, SETTINGS_KEY, "RunOnboot", StoredDword(0));
    m_view.m_duringSplash = [this] {
        // The splash's message loop hands the dialog its device events and its ticks.
        Settle();
        EXPECT_FALSE(m_pDlg->IsReady());
        ForgetCommands();
        m_pDlg->OnTimer(ID_KEEP_TIMER);
        EXPECT_TRUE(SimDrive('E').Commands().empty());
    };
    Start(true);
    EXPECT_TRUE(m_pDlg->IsReady());
    EXPECT_EQ(m_view.m_aCalls.back(), "RunSplash");
    EXPECT_FALSE(m_view.m_bRunOnBootChecked);

    m_pDlg->OnPaint();
    EXPECT_FALSE(m_view.m_bVisible);
}

TEST_F(MainDialogStartTest, WithoutAUsableDriveSaysSoAndEndsTheProcessWithCodeZero) {
    const std::pair<const char*, sim::SimMachineConfig> aMachines[] = {
        {"no CD-ROM drive", NtMachine({})},
        {"a drive that gives no standard INQUIRY",
         NtMachine({CdromWith("E:\\", [](sim::SimCdromConfig& c) { c.nAdditionalLength = 10; })})},
    };
    for (const auto& [pszWhat, machine] : aMachines) {
        SCOPED_TRACE(pszWhat);
        Use(machine);
        Create();
        // Known at once without a drive, and once it has answered with one.
        m_pDlg->OnInitDialog();
        Settle();
        EXPECT_EQ(m_view.m_aCalls.back(), "ShowNoDriveMessage");
        EXPECT_FALSE(m_view.m_bTrayIcon) << "no icon is left behind by the process";
        EXPECT_EQ(m_sim->Shell().m_nExitCode, 0u);
    }
}

} // namespace
} // namespace qv::test
