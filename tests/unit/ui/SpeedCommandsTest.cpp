// The slider, Apply, Save, Restore and the keep-speed tick on the default machine: E: runs at
// 4 to 40x and reports 4234 KB/s at 24x, G: at 8 to 48x, standing at 32x.
#include "tests/support/DialogFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace qv::test {
namespace {

using Rates = std::vector<int>;

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

TEST_F(SpeedCommandsTest, TheSliderSelectsApplySetsSaveStoresAndRestoreSets) {
    Start();
    const CCDRomList* pList = m_pApp->GetDriveList();
    ForgetCommands();
    MoveSlider(24);
    EXPECT_EQ(m_view.m_aSpeedTexts, (SpeedTexts{"40x", "40x", "24x  (4234 Kb/s)"}));
    EXPECT_TRUE(SimDrive('E').Commands().empty());

    Command(ID_APPLY);
    EXPECT_EQ(SetSpeedRates('E'), Rates{24 * 177});
    EXPECT_TRUE(SimDrive('G').Commands().empty());
    EXPECT_EQ(m_view.m_aSpeedTexts, (SpeedTexts{"40x", "24x", "24x  (4234 Kb/s)"}));
    EXPECT_EQ(Drive(0).Snapshot().nSelSpeed, 24) << "filled again from the drive's report";

    Command(ID_SAVE);
    EXPECT_EQ(AppValue("E: Speed"), StoredDword(24));
    EXPECT_EQ(AppValue("G: Speed"), StoredDword(32));

    PutSavedSpeed("E:", 16);
    PutSavedSpeed("G:", 24);
    ForgetCommands();
    Command(ID_RESTORE);
    EXPECT_EQ(SetSpeedRates('E'), Rates{16 * 177});
    EXPECT_EQ(m_view.m_aSpeedTexts, (SpeedTexts{"40x", "16x", "16x  (2816 Kb/s)"}));
    EXPECT_TRUE(SetSpeedRates('G').empty());
    EXPECT_EQ(Drive(1).Snapshot().nSelSpeed, 24);
    EXPECT_EQ(m_pApp->GetDriveList(), pList) << "outside boot mode the list stays";
    EXPECT_EQ(m_sim->Registry().OpenKeyCount(), 0);
}

// Drives whose page tells no usable maximum. E: tells 0 and is never commanded; a Restore on it
// leaves no speed behind for the next Apply, even one that reaches G: through the slider alone,
// which reads the combo. G: claims 100x, which is no maximum either: its slider ends at its speed.
TEST_F(SpeedCommandsTest, ADriveWithoutAMaximumIsNeverSetAndLeavesNoSpeedBehind) {
    Use(NtMachine({CdromWith("E:\\", [](sim::SimCdromConfig& c) { c.nMaxRate = 0; }),
                   CdromWith("G:\\", [](sim::SimCdromConfig& c) { c.nMaxRate = 100 * 176; })}));
    Start();
    EXPECT_EQ(m_view.m_aEntries,
              (std::vector<std::string>{" E:  ===  QRVX CD-ROM", " G:  100x  QRVX CD-ROM"}));
    EXPECT_EQ(m_view.m_aSpeedTexts, (SpeedTexts{"???", "40x", "40x  (7040 Kb/s)"}));
    EXPECT_EQ(m_view.m_range, std::make_pair(1, 1));
    EXPECT_FALSE(m_view.m_bSliderEnabled);
    ForgetCommands();
    MoveSlider(16);
    Command(ID_APPLY);
    Command(ID_RESTORE);
    m_pDlg->OnTimer(ID_KEEP_TIMER);
    EXPECT_TRUE(SimDrive('E').Commands().empty());

    m_view.m_nSelectedEntry = 1;
    MoveSlider(16);
    Command(ID_APPLY);
    EXPECT_EQ(SetSpeedRates('G'), Rates{16 * 177});
    Choose(1);
    EXPECT_EQ(m_view.m_aSpeedTexts, (SpeedTexts{"16x", "16x", "16x  (2816 Kb/s)"}));
    EXPECT_EQ(m_view.m_range, std::make_pair(1, 16));
}

// A start at logon sets each drive with a saved speed to it once identified, as Apply does, on
// either transport; the selected drive's is the speed the tick keeps. A Restore then builds the
// list again, once, and sets only the selected drive; the list it replaced is no longer heard.
TEST_F(SpeedCommandsTest, BootModeSetsEveryDriveWithASavedSpeedAndRestoreRebuildsTheList) {
    for (const auto platform : {sim::SimPlatform::Nt, sim::SimPlatform::Win9x}) {
        SCOPED_TRACE(platform == sim::SimPlatform::Nt ? "pass-through" : "ASPI");
        sim::SimMachineConfig machine = sim::DefaultMachine();
        machine.platform = platform;
        machine.aDrives.push_back(AspiCdrom("H:\\", 0, 2));
        Use(machine);
        PutSavedSpeed("E:", 16);
        PutSavedSpeed("H:", 24);
        Start(true);

        const Rates aRatesE = SetSpeedRates('E');
        EXPECT_EQ(std::count(aRatesE.begin(), aRatesE.end(), 16 * 177), 1);
        EXPECT_EQ(SimDrive('E').CurrentSpeed(), 16) << "set after its detection";
        EXPECT_EQ(SetSpeedRates('H'), Rates{24 * 177});
        EXPECT_TRUE(SetSpeedRates('G').empty());

        Drift('E', 40);
        Tick();
        EXPECT_EQ(SetSpeedRates('E'), Rates{16 * 177});

        const CCDRomList* pStartList = m_pApp->GetDriveList();
        CCDRom* pFormerE = &Drive(0);
        Drift('E', 40);
        Command(ID_RESTORE);
        const CCDRomList* pRestoreList = m_pApp->GetDriveList();
        EXPECT_NE(pRestoreList, pStartList);
        EXPECT_FALSE(m_pApp->m_bBootMode);
        EXPECT_EQ(SimDrive('E').CurrentSpeed(), 16);
        EXPECT_TRUE(SetSpeedRates('H').empty());
        EXPECT_EQ(m_view.m_aEntries.size(), 3u);
        EXPECT_EQ(m_view.m_aSpeedTexts, (SpeedTexts{"40x", "16x", "16x  (2816 Kb/s)"}));

        const int nFills = m_view.m_nEntryFills;
        for (const int nEvent : {RQ_IDENTIFIED, RQ_REFRESH_CAPS, RQ_DETECT_DONE})
            Deliver({nEvent, CMD_OK, reinterpret_cast<std::intptr_t>(pFormerE)});
        EXPECT_EQ(m_view.m_nEntryFills, nFills);

        Command(ID_RESTORE);
        EXPECT_EQ(m_pApp->GetDriveList(), pRestoreList);
    }
}

// Before the first Apply the tick only reads; after it, it sets the applied speed again only
// when the drive reports another, and only while the keep timer runs.
TEST_F(SpeedCommandsTest, TheTickReappliesTheAppliedSpeedOnlyWhenTheDriveReportsAnother) {
    Start();
    Drift('E', 24);
    Tick();
    EXPECT_EQ(SimDrive('E').Commands().size(), 1u) << "a read, no set";

    ApplySpeed(0, 16);
    ForgetCommands();
    const int nFills = m_view.m_nEntryFills;
    Tick();
    EXPECT_EQ(SimDrive('E').Commands().size(), 1u) << "the keep chain's read alone";

    Drift('E', 40);
    Tick();
    EXPECT_EQ(SimDrive('E').Commands().size(), 3u) << "a read on each side of the set";
    EXPECT_EQ(SetSpeedRates('E'), Rates{16 * 177});
    EXPECT_TRUE(SimDrive('G').Commands().empty()) << "only the selected drive is kept";
    EXPECT_EQ(m_view.m_nEntryFills, nFills) << "an open drop-down list stays open";

    Drift('E', 40);
    m_pDlg->OnTimer(ID_SPLASH_TIMER);
    Command(ID_MENU_KEEP_SPEED);
    m_pDlg->OnTimer(ID_KEEP_TIMER);
    EXPECT_TRUE(SimDrive('E').Commands().empty());
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

    const std::size_t nBlocks = manager.ExecBlocks().size();
    manager.Hold();
    m_pDlg->OnTimer(ID_KEEP_TIMER);
    m_pDlg->OnTimer(ID_KEEP_TIMER);
    EXPECT_EQ(manager.WaitingCount(), 1u) << "one read, however long the drive takes";
    manager.Release();
    Settle();
    EXPECT_EQ(manager.ExecBlocks().size(), nBlocks + 1) << "the second tick is dropped, not queued";

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
    const auto Unit = [](char cLetter) { return 1ul << (cLetter - 'A'); };
    for (const auto& [dwMask, aRatesE] :
         {std::pair{Unit('E') | Unit('G'), Rates{16 * 177}}, {Unit('G'), Rates{}}}) {
        SimDrive('E').ChangeDisc();
        ForgetCommands();
        m_pDlg->OnMediaArrival(dwMask);
        Settle();
        EXPECT_EQ(SetSpeedRates('E'), aRatesE) << dwMask;
        EXPECT_TRUE(SimDrive('G').Commands().empty()) << "G was never set";
    }

    // An arrival that meets the tick's read sends one set-speed, not two; one that meets a
    // detection waits for its end, which would undo the speed.
    for (const bool bDuringDetection : {false, true}) {
        SimDrive('E').ChangeDisc();
        ForgetCommands();
        SimDrive('E').Hold();
        if (bDuringDetection)
            m_pDlg->OnDriveChange();
        else
            m_pDlg->OnTimer(ID_KEEP_TIMER);
        m_pDlg->OnMediaArrival(Unit('E'));
        SimDrive('E').Release();
        Settle();
        const std::size_t nSets = SetSpeedRates('E').size();
        EXPECT_EQ(bDuringDetection ? nSets > 1 : nSets == 1, true);
        EXPECT_EQ(SimDrive('E').CurrentSpeed(), 16);
    }
}

} // namespace
} // namespace qv::test
