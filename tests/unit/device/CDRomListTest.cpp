// The drive list: which drives it holds, in which order, of which class, and which of them the
// transport can use.
#include "device/CDRomList.h"
#include "tests/support/ScriptedDrives.h"
#include "tests/support/SimFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <tuple>

namespace qv {
namespace {

using test::Cdrom;
using test::Volume;

sim::SimMachineConfig DeskMachine() {
    sim::SimMachineConfig machine;
    machine.aDrives = {Volume("C:\\", DRIVETYPE_FIXED), Cdrom("G:\\"),
                       Volume("F:\\", DRIVETYPE_REMOTE), Cdrom("E:\\")};
    return machine;
}

TEST(DriveList, HoldsTheCdromDrivesInDriveLetterOrderUpperCasedAndSendsNothing) {
    const std::tuple<const char*, std::vector<sim::SimDriveConfig>, std::vector<std::string>>
        aCases[] = {
            {"a desk machine", DeskMachine().aDrives, {"E:", "G:"}},
            {"lower-case roots", {Volume("c:\\", DRIVETYPE_FIXED), Cdrom("e:\\")}, {"E:"}},
            {"no CD-ROM drive", {Volume("C:\\", DRIVETYPE_FIXED)}, {}},
        };
    for (const auto& [pszWhat, aDrives, aExpected] : aCases) {
        SCOPED_TRACE(pszWhat);
        sim::SimMachineConfig machine;
        machine.aDrives = aDrives;
        test::CSimFixture fixture(machine);
        const auto pTransport = SelectTransport(fixture.Platform());
        const auto nProbeOpens = fixture.Machine().OpenedPaths().size();
        const auto pList = CCDRomList::Build(fixture.Platform(), pTransport.get());
        std::vector<std::string> aTexts;
        for (int i = 0; i < pList->GetCount(); ++i)
            aTexts.push_back(pList->GetAt(i)->Drive());
        EXPECT_EQ(aTexts, aExpected);
        EXPECT_EQ(fixture.Machine().OpenedPaths().size(), nProbeOpens);
        EXPECT_FALSE(pList->AnyUsable());
    }
}

TEST(DriveList, WithoutATransportTheDrivesArePlainAndNoneIsUsable) {
    sim::SimMachineConfig machine = DeskMachine();
    for (auto& drive : machine.aDrives) // no volume answers the probe
        drive.bAnswersAddress = false;
    test::CSimFixture fixture(machine);
    ASSERT_EQ(SelectTransport(fixture.Platform()), nullptr);
    const auto pList = CCDRomList::Build(fixture.Platform(), nullptr);
    ASSERT_EQ(pList->GetCount(), 2);
    pList->IdentifyAll();
    pList->GetAt(0)->DetectSpeeds();
    EXPECT_TRUE(pList->WaitForIdentification(std::chrono::milliseconds(0))) << "none is pending";
    EXPECT_FALSE(pList->GetAt(0)->Snapshot().bBusy);
    EXPECT_FALSE(pList->AnyUsable());
    EXPECT_TRUE(fixture.Machine().Drive('E')->Commands().empty());
}

TEST(DriveList, DriveStringsThatDoNotFitGiveAnEmptyList) {
    test::CSimFixture fixture{{}};
    test::CScriptedDrives drives;
    while (drives.strRoots.size() <= 404)
        drives.strRoots += std::string("E:\\\0", 4);
    const CPlatform platform = fixture.WithDrives(drives);
    EXPECT_EQ(CCDRomList::Build(platform, nullptr)->GetCount(), 0);
    drives.strRoots = std::string("E:\\\0e:\\", 7);
    EXPECT_EQ(CCDRomList::Build(platform, nullptr)->GetCount(), 2);
}

} // namespace
} // namespace qv
