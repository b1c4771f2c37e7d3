// The drive list: which drives it holds, in which order, of which class, and which of them the
// transport can use.
#include "device/CDRomList.h"
#include "device/CDRomIOCTL.h"
#include "tests/support/ScriptedDrives.h"
#include "tests/support/SimFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qv {
namespace {

using test::Cdrom;
using test::Volume;
using ::testing::ElementsAre;

sim::SimMachineConfig DeskMachine() {
    sim::SimMachineConfig machine;
    machine.aDrives = {Volume("C:\\", DRIVETYPE_FIXED), Cdrom("G:\\"),
                       Volume("F:\\", DRIVETYPE_REMOTE), Cdrom("E:\\")};
    return machine;
}

std::vector<std::string> DriveTexts(const CCDRomList& list) {
    std::vector<std::string> aTexts;
    for (int i = 0; i < list.GetCount(); ++i)
        aTexts.push_back(list.GetAt(i)->m_strDrive);
    return aTexts;
}

TEST(DriveList, HoldsTheCdromDrivesInDriveLetterOrderUpperCasedAndSendsNothing) {
    struct Case {
        const char* pszWhat;
        std::vector<sim::SimDriveConfig> aDrives;
        std::vector<std::string> aExpected;
    };
    const Case aCases[] = {
        {"a desk machine", DeskMachine().aDrives, {"E:", "G:"}},
        {"lower-case roots", {Volume("c:\\", DRIVETYPE_FIXED), Cdrom("e:\\")}, {"E:"}},
        {"no CD-ROM drive", {Volume("C:\\", DRIVETYPE_FIXED)}, {}},
    };
    for (const Case& c : aCases) {
        SCOPED_TRACE(c.pszWhat);
        sim::SimMachineConfig machine;
        machine.aDrives = c.aDrives;
        test::CSimFixture fixture(machine);
        CCDRom::SelectTransport(fixture.Platform());
        const auto nProbeOpens = fixture.Machine().OpenedPaths().size();
        const auto pList = CCDRomList::Build(fixture.Platform());
        EXPECT_EQ(DriveTexts(*pList), c.aExpected);
        EXPECT_EQ(fixture.Machine().OpenedPaths().size(), nProbeOpens);
        EXPECT_FALSE(pList->AnyUsable());
    }
}

TEST(DriveList, IdentifyingOverPassThroughMakesTheAnsweringDrivesUsable) {
    test::CSimFixture fixture(DeskMachine());
    ASSERT_EQ(CCDRom::SelectTransport(fixture.Platform()), TRANSPORT_IOCTL);
    const auto pList = CCDRomList::Build(fixture.Platform());
    pList->IdentifyAll();
    EXPECT_TRUE(pList->GetAt(0)->m_bUsable);
    EXPECT_TRUE(pList->GetAt(1)->m_bUsable);
    EXPECT_TRUE(pList->AnyUsable());
    EXPECT_THAT(fixture.Events().Codes(), ElementsAre(RQ_IDENTIFIED, RQ_IDENTIFIED));
}

TEST(DriveList, ADriveThatRefusesInquiryStaysListedButUnusable) {
    sim::SimCdromConfig refusing;
    refusing.bInquiryFails = true;
    sim::SimMachineConfig machine = DeskMachine();
    machine.aDrives[3] = Cdrom("E:\\", refusing);
    test::CSimFixture fixture(machine);
    CCDRom::SelectTransport(fixture.Platform());
    const auto pList = CCDRomList::Build(fixture.Platform());
    pList->IdentifyAll();
    ASSERT_EQ(pList->GetCount(), 2);
    EXPECT_FALSE(pList->GetAt(0)->m_bUsable);
    EXPECT_TRUE(pList->GetAt(1)->m_bUsable);
    EXPECT_TRUE(pList->AnyUsable());
}

TEST(DriveList, WithoutATransportTheDrivesArePlainAndNoneIsUsable) {
    sim::SimMachineConfig machine = DeskMachine();
    for (auto& drive : machine.aDrives) // no volume answers the probe
        drive.bAnswersAddress = false;
    test::CSimFixture fixture(machine);
    ASSERT_EQ(CCDRom::SelectTransport(fixture.Platform()), TRANSPORT_NONE);
    const auto pList = CCDRomList::Build(fixture.Platform());
    ASSERT_EQ(pList->GetCount(), 2);
    EXPECT_EQ(dynamic_cast<CCDRomIOCTL*>(pList->GetAt(0)), nullptr);
    pList->IdentifyAll();
    EXPECT_FALSE(pList->AnyUsable());
    EXPECT_TRUE(fixture.Machine().Drive('E')->Commands().empty());
}

TEST(DriveList, DriveStringsThatDoNotFitGiveAnEmptyList) {
    test::CSimFixture fixture{{}};
    test::CScriptedDrives drives;
    while (drives.strRoots.size() <= 404)
        drives.strRoots += std::string("E:\\\0", 4);
    const CPlatform platform = fixture.WithDrives(drives);
    EXPECT_EQ(CCDRomList::Build(platform)->GetCount(), 0);
    drives.strRoots = std::string("E:\\\0e:\\", 7);
    EXPECT_EQ(CCDRomList::Build(platform)->GetCount(), 2);
}

TEST(DriveList, IdentifyAllClearsAnEarlierUsableMark) {
    test::CSimFixture fixture(DeskMachine());
    const auto pList = CCDRomList::Build(fixture.Platform());
    pList->GetAt(0)->m_bUsable = true;
    pList->IdentifyAll();
    EXPECT_FALSE(pList->AnyUsable());
}

TEST(TransportChoice, IsMadeOnceAndRetriedOnlyWhileNoneWasFound) {
    sim::SimMachineConfig machine = DeskMachine();
    machine.platform = sim::SimPlatform::Win9x; // no volume device paths
    test::CSimFixture fixture9x(machine);
    EXPECT_EQ(CCDRom::SelectTransport(fixture9x.Platform()), TRANSPORT_NONE);
    EXPECT_EQ(fixture9x.Machine().OpenedPaths(),
              (std::vector<std::string>{"\\\\.\\C:", "\\\\.\\D:"}));
    EXPECT_EQ(CCDRom::SelectTransport(fixture9x.Platform()), TRANSPORT_NONE);
    EXPECT_EQ(fixture9x.Machine().OpenedPaths().size(), 4u);

    test::CSimFixture fixtureNt(DeskMachine());
    EXPECT_EQ(CCDRom::SelectTransport(fixtureNt.Platform()), TRANSPORT_IOCTL);
    EXPECT_EQ(CCDRom::SelectTransport(fixtureNt.Platform()), TRANSPORT_IOCTL);
    EXPECT_EQ(fixtureNt.Machine().OpenedPaths().size(), 1u);
}

} // namespace
} // namespace qv
