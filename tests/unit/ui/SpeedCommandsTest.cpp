// The slider, Apply, Save, Restore and the keep-speed tick on the default machine: E: runs at
// 4 to 40x and reports 4234 KB/s at 24x, G: at 8 to 48x, standing at 32x.
#include "tests/support/DialogFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace qv::test {
namespace {

using Rates = std::vector<int>;
using OpcodeList = std::vector<BYTE>;

class SpeedCommandsTest : public CDialogFixture {
protected:
    void Tick() {
        m_pDlg->OnTimer(ID_KEEP_TIMER);
        Settle();
    }
    // The drive's speed changes behind the program's back, as after a media change.
    void Drift(char cLetter, int nSpeed) {
        const Cdb cdb = MakeSetSpeedCdb(nSpeed);
        SimDrive(cLetter).Execute(cdb.bytes.data(), cdb.nLength, nullptr, 0);
        ForgetCommands();
    }
};

// The slider only selects a speed and shows the rate the drive reported at it; Apply sends it
// and keeps it.
TEST_F(SpeedCommandsTest, TheSliderSelectsASpeedAndApplySetsTheSelectedDriveToIt) {
    Start();
    ForgetCommands();
    MoveSlider(24);
    EXPECT_EQ(m_view.m_strSel, "24x  (4234 Kb/s)");
    EXPECT_EQ(Drive(0).Snapshot().nSelSpeed, 24);
    EXPECT_TRUE(SimDrive('E').Commands().empty());

    Command(ID_APPLY);
    EXPECT_EQ(SetSpeedRates('E'), Rates{24 * 177});
    EXPECT_TRUE(SimDrive('G').Commands().empty());
    EXPECT_EQ(m_view.m_strCur, "24x");
    EXPECT_EQ(m_view.m_strSel, "24x  (4234 Kb/s)");
    EXPECT_EQ(Drive(0).Snapshot().nSelSpeed, 24) << "filled again from the drive's report";
}

TEST_F(SpeedCommandsTest, SaveStoresEveryDrivesSelectedSpeed) {
    Start();
    ApplySpeed(0, 16);
    Command(ID_SAVE);
    EXPECT_EQ(AppDword("E: Speed"), 16u);
    EXPECT_EQ(AppDword("G: Speed"), 32u);
}

TEST_F(SpeedCommandsTest, RestoreSetsOnlyTheSelectedDriveToItsSavedSpeed) {
    Start();
    const CCDRomList* pList = m_pApp->GetDriveList();
    PutSavedSpeed("E:", 16);
    PutSavedSpeed("G:", 24);
    ForgetCommands();
    Command(ID_RESTORE);

    EXPECT_EQ(SetSpeedRates('E'), Rates{16 * 177});
    EXPECT_EQ(m_view.m_strCur, "16x");
    EXPECT_TRUE(SetSpeedRates('G').empty());
    EXPECT_EQ(Drive(1).Snapshot().nSelSpeed, 24);
    EXPECT_EQ(m_pApp->GetDriveList(), pList) << "outside boot mode the list stays";
    EXPECT_EQ(m_sim->Registry().OpenKeyCount(), 0);
}

// A Restore whose drive cannot be set leaves no speed behind for another drive's Apply.
TEST_F(SpeedCommandsTest, ApplySendsTheSliderSpeedAfterARestoreThatSetNothing) {
    Use(NtMachine(
        {CdromWith("E:\\", [](sim::SimCdromConfig& c) { c.nMaxRate = 0; }), Cdrom("G:\\")}));
    Start();
    Command(ID_RESTORE);
    Choose(1);
    ForgetCommands();
    MoveSlider(16);
    Command(ID_APPLY);
    EXPECT_EQ(SetSpeedRates('G'), Rates{16 * 177});
}

// A start at logon sets each drive with a saved speed to it once identified, as Apply does, on
// either transport; the selected drive's is the speed the tick keeps.
TEST_F(SpeedCommandsTest, BootModeSetsEveryDriveWithASavedSpeedToIt) {
    for (const auto platform : {sim::SimPlatform::Nt, sim::SimPlatform::Win9x}) {
        SCOPED_TRACE(platform == sim::SimPlatform::Nt ? "pass-through" : "ASPI");
        sim::SimMachineConfig machine = sim::DefaultMachine();
        machine.platform = platform;
        machine.aDrives.push_back(AspiCdrom("H:\\", 0, 2));
        Use(machine);
        PutSavedSpeed("E:", 16);
        PutSavedSpeed("H:", 24);
        Create();
        m_pApp->m_bBootMode = true;
        ASSERT_TRUE(m_pDlg->OnInitDialog());
        Settle();

        const Rates aRatesE = SetSpeedRates('E');
        EXPECT_EQ(std::count(aRatesE.begin(), aRatesE.end(), 16 * 177), 1);
        EXPECT_EQ(SimDrive('E').CurrentSpeed(), 16) << "set after its detection";
        EXPECT_EQ(SetSpeedRates('H'), Rates{24 * 177});
        EXPECT_TRUE(SetSpeedRates('G').empty());

        Drift('E', 40);
        Tick();
        EXPECT_EQ(SetSpeedRates('E'), Rates{16 * 177});
    }
}

TEST_F(SpeedCommandsTest, RestoreInBootModeRebuildsTheListOnceAndSetsTheSelectedDrive) {
    PutSavedSpeed("E:", 16);
    PutSavedSpeed("G:", 24);
    Create();
    m_pApp->m_bBootMode = true;
    ASSERT_TRUE(m_pDlg->OnInitDialog());
    Settle();
    const CCDRomList* pStartList = m_pApp->GetDriveList();
    CCDRom* pFormerE = &Drive(0);
    ForgetCommands();

    Command(ID_RESTORE);
    const CCDRomList* pRestoreList = m_pApp->GetDriveList();
    EXPECT_NE(pRestoreList, pStartList);
    EXPECT_FALSE(m_pApp->m_bBootMode);
    EXPECT_EQ(SimDrive('E').CurrentSpeed(), 16);
    EXPECT_TRUE(SetSpeedRates('G').empty());
    EXPECT_EQ(m_view.m_aEntries.size(), 2u);
    EXPECT_EQ(m_pDlg->GetSelectedDrive(), 0);
    EXPECT_EQ(m_view.m_strCur, "16x");

    // A device of the list it replaced is no drive of the dialog's.
    const int nFills = m_view.m_nEntryFills;
    for (const int nEvent : {RQ_IDENTIFIED, RQ_REFRESH_CAPS, RQ_DETECT_DONE})
        Deliver({nEvent, CMD_OK, reinterpret_cast<std::intptr_t>(pFormerE)});
    EXPECT_EQ(m_view.m_nEntryFills, nFills);
    EXPECT_EQ(m_view.m_strCur, "16x");

    Command(ID_RESTORE);
    EXPECT_EQ(m_pApp->GetDriveList(), pRestoreList);
}

TEST_F(SpeedCommandsTest, TheTickReappliesTheAppliedSpeedOnlyWhenTheDriveReportsAnother) {
    Start();
    ApplySpeed(0, 16);
    ForgetCommands();
    const int nFills = m_view.m_nEntryFills;
    Tick();
    EXPECT_EQ(Opcodes('E'), OpcodeList{SCSIOP_MODE_SENSE6});

    Drift('E', 40);
    Tick();
    // The speed change is followed by its own capabilities read.
    EXPECT_EQ(Opcodes('E'),
              (OpcodeList{SCSIOP_MODE_SENSE6, SCSIOP_SET_CD_SPEED, SCSIOP_MODE_SENSE6}));
    EXPECT_EQ(SetSpeedRates('E'), Rates{16 * 177});
    EXPECT_TRUE(SimDrive('G').Commands().empty()) << "only the selected drive is kept";
    EXPECT_EQ(m_view.m_strCur, "16x");
    EXPECT_EQ(m_view.m_nEntryFills, nFills) << "an open drop-down list stays open";
}

// With completions that come later (ASPI), a tick may fall into a detection or find its last read
// unanswered: it sends nothing then.
TEST_F(SpeedCommandsTest, TheTickLeavesABusyDriveAlone) {
    sim::SimMachineConfig machine = sim::DefaultMachine();
    machine.platform = sim::SimPlatform::Win9x;
    Use(machine);
    Start();
    ApplySpeed(0, 16);
    sim::CSimAspiManager& manager = m_sim->Machine().Aspi();

    manager.Hold();
    m_pDlg->OnTimer(ID_KEEP_TIMER);
    m_pDlg->OnTimer(ID_KEEP_TIMER);
    EXPECT_EQ(manager.WaitingCount(), 1u) << "one read, however long the drive takes";
    manager.Release();
    Settle();

    manager.Hold();
    m_pDlg->OnDriveChange();
    const std::size_t nDetecting = manager.WaitingCount();
    m_pDlg->OnTimer(ID_KEEP_TIMER);
    EXPECT_EQ(manager.WaitingCount(), nDetecting);
    manager.Release();
    Settle();
    EXPECT_EQ(m_view.m_aTicks, (std::vector<int>{40, 32, 24, 16, 8, 4}));
}

// A disc arrives, and the system has put the drive back to its highest speed: each drive of the
// mask that this run has set a speed on gets it again at once; the others are left alone.
TEST_F(SpeedCommandsTest, AnArrivingDiscGetsTheSpeedItsDriveWasSetTo) {
    Start();
    ApplySpeed(0, 16);
    constexpr auto E = 1ul << ('E' - 'A');
    constexpr auto F = 1ul << ('F' - 'A');
    constexpr auto G = 1ul << ('G' - 'A');
    for (const auto& [dwMask, aRatesE] :
         {std::pair{E | G, Rates{16 * 177}}, {G, Rates{}}, {F, Rates{}}, {~0ul, Rates{16 * 177}}}) {
        SimDrive('E').ChangeDisc();
        ForgetCommands();
        m_pDlg->OnMediaArrival(dwMask);
        Settle();
        EXPECT_EQ(SetSpeedRates('E'), aRatesE) << dwMask;
        EXPECT_TRUE(SimDrive('G').Commands().empty()) << "G was never set";
    }
    EXPECT_EQ(SimDrive('E').CurrentSpeed(), 16);
}

// An arrival that meets the tick's read sends one set-speed, not two; one that meets a detection
// waits for its end, which would undo the speed.
TEST_F(SpeedCommandsTest, AnArrivalJoinsTheTickAndWaitsForADetection) {
    Start();
    ApplySpeed(0, 16);
    for (const bool bDuringDetection : {false, true}) {
        SimDrive('E').ChangeDisc();
        ForgetCommands();
        SimDrive('E').Hold();
        if (bDuringDetection)
            m_pDlg->OnDriveChange();
        else
            m_pDlg->OnTimer(ID_KEEP_TIMER);
        m_pDlg->OnMediaArrival(1ul << ('E' - 'A'));
        SimDrive('E').Release();
        Settle();
        const Rates aRates = SetSpeedRates('E');
        ASSERT_FALSE(aRates.empty());
        EXPECT_EQ(aRates.back(), 16 * 177);
        EXPECT_EQ(bDuringDetection ? aRates.size() > 1 : aRates.size() == 1, true);
        EXPECT_EQ(SimDrive('E').CurrentSpeed(), 16);
    }
}

TEST_F(SpeedCommandsTest, TheTickOnlyReadsBeforeTheFirstApply) {
    Start();
    Drift('E', 24);
    Tick();
    EXPECT_EQ(Opcodes('E'), OpcodeList{SCSIOP_MODE_SENSE6});
}

TEST_F(SpeedCommandsTest, OnlyTheRunningKeepTimerTicks) {
    Start();
    ApplySpeed(0, 16);
    Drift('E', 40);
    m_pDlg->OnTimer(ID_SPLASH_TIMER);
    EXPECT_TRUE(SimDrive('E').Commands().empty());

    Command(ID_MENU_KEEP_SPEED);
    ASSERT_FALSE(m_view.m_bTimerRunning);
    m_pDlg->OnTimer(ID_KEEP_TIMER);
    EXPECT_TRUE(SimDrive('E').Commands().empty());
}

// Drives whose page tells no usable maximum: 0, or 100x and more.
TEST_F(SpeedCommandsTest, ShowsWhatIsKnownOfAnUnknownMaximumAndCommandsOnlyADriveWithOne) {
    struct Case {
        int nMaxRate;
        const char* pszEntry;
        const char* pszMax;
        int nRangeMax;
        bool bSpeedCapable;
    };
    for (const Case& c : {Case{0, " E:  ===  QRVX CD-ROM", "???", 1, false},
                          Case{100 * 176, " E:  100x  QRVX CD-ROM", "40x", 40, true}}) {
        SCOPED_TRACE(c.pszMax);
        sim::SimCdromConfig cdrom;
        cdrom.nMaxRate = c.nMaxRate;
        Use(NtMachine({Cdrom("E:\\", cdrom)}));
        Start();
        EXPECT_EQ(m_view.m_aEntries, std::vector<std::string>{c.pszEntry});
        EXPECT_EQ(m_view.m_strMax, c.pszMax);
        EXPECT_EQ(m_view.m_range, std::make_pair(1, c.nRangeMax));
        EXPECT_EQ(m_view.m_bSliderEnabled, c.bSpeedCapable);

        MoveSlider(16);
        ForgetCommands();
        Command(ID_APPLY);
        m_pDlg->OnTimer(ID_KEEP_TIMER);
        EXPECT_EQ(SetSpeedRates('E').empty(), !c.bSpeedCapable);
        EXPECT_EQ(SimDrive('E').Commands().empty(), !c.bSpeedCapable);
    }
}

} // namespace
} // namespace qv::test
