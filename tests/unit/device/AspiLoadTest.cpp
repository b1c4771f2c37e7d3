// Whether a process reaches its drives through ASPI: the library's own answers decide, and a
// library that passed its test stays for the rest of the process.
#include "device/CDRomASPI.h"
#include "device/CDRomList.h"
#include "tests/support/AspiMachine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

namespace qv::test {
namespace {

using ::testing::Contains;
using ::testing::IsEmpty;
using ::testing::Not;

const sim::SimAspiCall TEST_BLOCK{SC_GET_DISK_INFO, 0, 0};

TEST(AspiLoad, TheSupportInfoAndTheTestBlockDecideAndASuccessStaysLoaded) {
    struct Case {
        const char* pszWhat;
        std::function<void(sim::SimMachineConfig&)> change;
        bool bLoaded;
        bool bTested; // the test block was sent
    };
    const Case aCases[] = {
        {"0100h: complete, but no host adapter", [](auto& a) { a.aspi.nSupportInfo = 0x0100; },
         false, false},
        {"E800h: no adapters", [](auto& a) { a.aspi.nSupportInfo = 0xE800; }, false, false},
        {"0102h: two adapters", [](auto& a) { a.aspi.nSupportInfo = 0x0102; }, true, true},
        // Nothing at adapter 0, target 0: SS_NO_DEVICE is an answer all the same.
        {"test block answered SS_NO_DEVICE",
         [](auto& a) {
             a.aDrives[1].cdrom->aspi = sim::SimAspiAddress{0, 3};
         },
         true, true},
        {"test block fails", [](auto& a) { a.aspi.bDiskInfoFails = true; }, false, true},
        {"no library", [](auto& a) { a.aspi.bInstalled = false; }, false, false},
        {"no entry point", [](auto& a) { a.aspi.bEntryPoints = false; }, false, false},
    };
    for (const Case& c : aCases) {
        SCOPED_TRACE(c.pszWhat);
        auto machine = AspiMachine({AspiCdrom("E:\\", 0, 0)}, {0, 0});
        c.change(machine);
        CSimFixture sim(std::move(machine));
        EXPECT_EQ(CCDRomASPI::LoadAspi(sim.Machine().Aspi()), c.bLoaded);
        EXPECT_EQ(sim.Machine().Aspi().Calls(), c.bTested
                                                    ? std::vector<sim::SimAspiCall>{TEST_BLOCK}
                                                    : std::vector<sim::SimAspiCall>{});
        EXPECT_EQ(sim.Machine().Aspi().IsLoaded(), c.bLoaded);
    }
}

TEST(AspiTransport, IsChosenWhenThePassThroughProbeFails) {
    CSimFixture sim(AspiMachine({AspiCdrom("E:\\", 0, 0)}));
    EXPECT_EQ(CCDRom::SelectTransport(sim.Platform()), TRANSPORT_ASPI);
    // Chosen once: the library is neither tested nor loaded again.
    EXPECT_EQ(CCDRom::SelectTransport(sim.Platform()), TRANSPORT_ASPI);
    EXPECT_EQ(sim.Machine().Aspi().LoadCount(), 1);
    EXPECT_THAT(sim.Machine().Aspi().Calls(), ::testing::ElementsAre(TEST_BLOCK));
    EXPECT_TRUE(sim.Machine().Aspi().IsLoaded());

    const auto pList = CCDRomList::Build(sim.Platform());
    ASSERT_EQ(pList->GetCount(), 1);
    EXPECT_NE(dynamic_cast<CCDRomASPI*>(pList->GetAt(0)), nullptr);
}

TEST(AspiTransport, IsNotLoadedWhenThePassThroughProbeSucceeds) {
    auto machine = NtMachine({AspiCdrom("E:\\", 0, 0)});
    machine.aspi.bInstalled = true;
    machine.aspi.aAdapterTargets = {0};
    CSimFixture sim(std::move(machine));
    EXPECT_EQ(CCDRom::SelectTransport(sim.Platform()), TRANSPORT_IOCTL);
    EXPECT_EQ(sim.Machine().Aspi().LoadCount(), 0);
}

TEST(AspiTransport, AFailedLoadLeavesNoTransportAndIsTriedAgain) {
    CSimFixture sim(AspiMachine({AspiCdrom("E:\\", 0, 0)}, {}));
    EXPECT_EQ(CCDRom::SelectTransport(sim.Platform()), TRANSPORT_NONE);
    EXPECT_EQ(CCDRom::SelectTransport(sim.Platform()), TRANSPORT_NONE);
    EXPECT_EQ(sim.Machine().Aspi().LoadCount(), 2);
    EXPECT_FALSE(sim.Machine().Aspi().IsLoaded());
    EXPECT_THAT(sim.Machine().Aspi().Calls(), Not(Contains(TEST_BLOCK)));
}

} // namespace
} // namespace qv::test
