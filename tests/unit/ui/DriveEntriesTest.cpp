// The combo's entries and the drive list stay in step whatever the drives answer and in whatever
// order their answers arrive.
#include "tests/support/DialogFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qv::test {
namespace {

using Texts = std::vector<std::string>;

struct EntryTextCase {
    int nMaxSpeed;
    const char* pszVendor;
    const char* pszProduct;
    const char* pszText;
};

class DriveEntryTextTest : public ::testing::TestWithParam<EntryTextCase> {};

TEST_P(DriveEntryTextTest, ShowsLetterMaximumVendorAndProduct) {
    DRIVE_STATE drive;
    drive.strDrive = "E:";
    drive.nMaxSpeed = GetParam().nMaxSpeed;
    drive.strVendor = GetParam().pszVendor;
    drive.strProduct = GetParam().pszProduct;
    EXPECT_EQ(DriveEntryText(drive), GetParam().pszText);
}

INSTANTIATE_TEST_SUITE_P(
    Drives, DriveEntryTextTest,
    ::testing::Values(EntryTextCase{8, "QRVX", "CD-ROM", " E:   8x  QRVX CD-ROM"},
                      EntryTextCase{40, "QRVX", "CD-ROM", " E:  40x  QRVX CD-ROM"},
                      EntryTextCase{0, "QRVX", "CD-ROM", " E:  ===  QRVX CD-ROM"},
                      EntryTextCase{40, "", "CD-ROM", " E:  40x  CD-ROM"},
                      EntryTextCase{40, "QRVX", "", " E:  40x  QRVX "},
                      EntryTextCase{0, "", "", " E:  ===  "}));

TEST(SelectedSpeedTextTest, ShowsTheSpeedAndItsRate) {
    EXPECT_EQ(SelectedSpeedText(24, 4224), "24x  (4224 Kb/s)");
}

class DriveEntriesTest : public CDialogFixture {
protected:
    using CDialogFixture::CDialogFixture;
};

TEST_F(DriveEntriesTest, AnswersInReverseOrderStillPlaceTheEntriesInDriveOrder) {
    Create();
    ASSERT_TRUE(m_pDlg->OnInitDialog());
    SettleInReverse();

    EXPECT_EQ(m_view.m_aEntries,
              (Texts{" E:  40x  QRVX CD-ROM 40X", " G:  48x  ZANTRIX CDR-4812"}));
    EXPECT_EQ(m_view.m_nSelectedEntry, 0);
    EXPECT_EQ(m_pDlg->GetSelectedDrive(), 0);

    Choose(1);
    EXPECT_EQ(m_pDlg->GetSelectedDrive(), 1);
    EXPECT_EQ(m_view.m_strMax, "48x");
    EXPECT_EQ(m_view.m_strCur, "32x");
}

// D: and G: answer; E: between them never becomes usable.
class UnusableDriveTest : public DriveEntriesTest {
protected:
    UnusableDriveTest()
        : DriveEntriesTest(NtMachine(
              {Cdrom("D:\\"),
               CdromWith("E:\\", [](sim::SimCdromConfig& c) { c.nAdditionalLength = 10; }),
               Cdrom("G:\\")})) {}
};

TEST_F(UnusableDriveTest, HasNoEntryAndTheEntriesAfterItStillCommandTheirOwnDrives) {
    Start();
    ASSERT_EQ(m_view.m_aEntries, (Texts{" D:  40x  QRVX CD-ROM", " G:  40x  QRVX CD-ROM"}));

    Choose(1);
    EXPECT_EQ(m_pDlg->GetSelectedDrive(), 2);
    MoveSlider(16);
    ForgetCommands();
    Command(ID_APPLY);
    EXPECT_EQ(SetSpeedRates('G'), std::vector<int>{16 * 177});
    EXPECT_TRUE(SetSpeedRates('D').empty());
    EXPECT_TRUE(SimDrive('E').Commands().empty());
}

// The first drive fails in either of two ways: its INQUIRY reply is short (it is identified as
// unusable), or no command reaches it at all (its identification ends in failure).
struct FirstDriveCase {
    const char* pszWhat;
    sim::SimDriveConfig first;
};

void PrintTo(const FirstDriveCase& param, std::ostream* pOut) {
    *pOut << param.pszWhat;
}

sim::SimDriveConfig Unreachable(const char* pszRoot) {
    sim::SimDriveConfig drive = Cdrom(pszRoot);
    drive.bPassThrough = false;
    return drive;
}

class UnusableFirstDriveTest : public CDialogFixture,
                               public ::testing::WithParamInterface<FirstDriveCase> {
protected:
    UnusableFirstDriveTest() : CDialogFixture(NtMachine({GetParam().first, Cdrom("G:\\")})) {}
};

TEST_P(UnusableFirstDriveTest, LeavesTheSelectionToTheFirstDriveThatAnswers) {
    Start();
    EXPECT_EQ(m_view.m_aEntries, (Texts{" G:  40x  QRVX CD-ROM"}));
    EXPECT_EQ(m_view.m_nSelectedEntry, 0);
    EXPECT_EQ(m_pDlg->GetSelectedDrive(), 1);
    EXPECT_EQ(m_view.m_strCur, "40x");
    EXPECT_TRUE(m_view.m_bSliderEnabled);
}

INSTANTIATE_TEST_SUITE_P(Failures, UnusableFirstDriveTest,
                         ::testing::Values(FirstDriveCase{"short INQUIRY",
                                                          CdromWith("E:\\",
                                                                    [](sim::SimCdromConfig& c) {
                                                                        c.nAdditionalLength = 10;
                                                                    })},
                                           FirstDriveCase{"unreachable", Unreachable("E:\\")}));

TEST_F(DriveEntriesTest, WithNoEntryYetNoHandlerCommandsAnyDrive) {
    Create();
    ASSERT_TRUE(m_pDlg->OnInitDialog());
    ASSERT_TRUE(m_view.m_aEntries.empty());
    ForgetCommands();

    MoveSlider(16);
    for (const int nCommand : {ID_APPLY, ID_LOCK, ID_EJECT, ID_LOAD})
        EXPECT_TRUE(m_pDlg->OnCommand(nCommand));
    m_pDlg->OnTimer(ID_KEEP_TIMER);

    EXPECT_EQ(m_pDlg->GetSelectedDrive(), -1);
    EXPECT_EQ(m_view.m_strSel, "");
    for (const char cLetter : {'E', 'G'}) {
        EXPECT_TRUE(SimDrive(cLetter).Commands().empty());
        EXPECT_TRUE(m_sim.Machine().Tray(cLetter)->Calls().empty());
    }
}

TEST_F(DriveEntriesTest, AChoiceOutsideTheEntriesSelectsTheFirstEntrysDrive) {
    Start();
    for (const int nEntry : {7, -1}) {
        Choose(1);
        Choose(nEntry);
        EXPECT_EQ(m_pDlg->GetSelectedDrive(), 0) << nEntry;
        EXPECT_EQ(m_view.m_nSelectedEntry, 0) << nEntry;
    }
}

} // namespace
} // namespace qv::test
