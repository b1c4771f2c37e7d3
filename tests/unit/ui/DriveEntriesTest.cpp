// The combo's entries and the drive list stay in step whatever the drives answer.
#include "tests/support/DialogFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qv::test {
namespace {

using Texts = std::vector<std::string>;

TEST(DriveEntryTextTest, ShowsLetterMaximumVendorAndProduct) {
    DRIVE_STATE drive;
    drive.strDrive = "E:";
    drive.nMaxSpeed = 8;
    drive.strProduct = "CD-ROM";
    EXPECT_EQ(DriveEntryText(drive), " E:   8x  CD-ROM");
    drive.strVendor = "QRVX";
    drive.nMaxSpeed = 0;
    EXPECT_EQ(DriveEntryText(drive), " E:  ===  QRVX CD-ROM");
}

class DriveEntriesTest : public CDialogFixture {};

// The first drive fails in either of two ways: its INQUIRY reply is short (it is identified as
// unusable), or no command reaches it at all (its identification ends in failure). The entry of
// the drive after it commands that drive.
TEST_F(DriveEntriesTest, AnUnusableDriveHasNoEntryAndTheEntriesAfterItCommandTheirOwnDrives) {
    sim::SimDriveConfig unreachable = Cdrom("E:\\");
    unreachable.bPassThrough = false;
    const sim::SimDriveConfig shortInquiry =
        CdromWith("E:\\", [](sim::SimCdromConfig& c) { c.nAdditionalLength = 10; });
    for (const auto& first : {shortInquiry, unreachable}) {
        SCOPED_TRACE(first.bPassThrough ? "short INQUIRY" : "unreachable");
        Use(NtMachine({first, Cdrom("G:\\")}));
        Start();
        EXPECT_EQ(m_view.m_aEntries, (Texts{" G:  40x  QRVX CD-ROM"}));
        EXPECT_EQ(m_view.m_nSelectedEntry, 0);
        EXPECT_EQ(m_pDlg->GetSelectedDrive(), 1);
        EXPECT_EQ(m_view.m_strCur, "40x");
        EXPECT_TRUE(m_view.m_bSliderEnabled);

        MoveSlider(16);
        ForgetCommands();
        Command(ID_APPLY);
        EXPECT_EQ(SetSpeedRates('G'), std::vector<int>{16 * 177});
        EXPECT_TRUE(SimDrive('E').Commands().empty());
    }
}

} // namespace
} // namespace qv::test
