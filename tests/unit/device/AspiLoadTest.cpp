// Whether a process reaches its drives through ASPI: the library's own answers decide, and a
// library that passed its test stays for the rest of the process.
#include "device/CDRomASPI.h"
#include "device/CDRomList.h"
#include "tests/support/AspiMachine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qv::test {
namespace {

using ::testing::Contains;
using ::testing::IsEmpty;
using ::testing::Not;

const sim::SimAspiCall TEST_BLOCK{SC_GET_DISK_INFO, 0, 0};

sim::SimMachineConfig Answering(DWORD dwSupportInfo) {
    auto machine = AspiMachine({AspiCdrom("E:\\", 0, 0)}, {0, 0});
    machine.aspi.nSupportInfo = dwSupportInfo;
    return machine;
}

TEST(AspiLoad, TheSupportInfoDecidesWhetherTheManagerIsTested) {
    {
        CSimFixture sim(Answering(0x0100)); // complete, but no host adapter
        EXPECT_FALSE(CCDRomASPI::LoadAspi(sim.Machine().Aspi()));
        EXPECT_THAT(sim.Machine().Aspi().Calls(), IsEmpty());
        EXPECT_FALSE(sim.Machine().Aspi().IsLoaded());
    }
    {
        CSimFixture sim(Answering(0xE800)); // no adapters
        EXPECT_FALSE(CCDRomASPI::LoadAspi(sim.Machine().Aspi()));
        EXPECT_THAT(sim.Machine().Aspi().Calls(), IsEmpty());
        EXPECT_FALSE(sim.Machine().Aspi().IsLoaded());
    }
    {
        CSimFixture sim(Answering(0x0102)); // two adapters
        EXPECT_TRUE(CCDRomASPI::LoadAspi(sim.Machine().Aspi()));
        EXPECT_THAT(sim.Machine().Aspi().Calls(), ::testing::ElementsAre(TEST_BLOCK));
        EXPECT_TRUE(sim.Machine().Aspi().IsLoaded());
    }
}

TEST(AspiLoad, TheTestBlockPassesWhenTheManagerAnswersIt) {
    {
        // Nothing at adapter 0, target 0: SS_NO_DEVICE is an answer all the same.
        CSimFixture sim(AspiMachine({AspiCdrom("E:\\", 0, 3)}));
        EXPECT_TRUE(CCDRomASPI::LoadAspi(sim.Machine().Aspi()));
    }
    {
        auto machine = AspiMachine({AspiCdrom("E:\\", 0, 0)});
        machine.aspi.bDiskInfoFails = true;
        CSimFixture sim(std::move(machine));
        EXPECT_FALSE(CCDRomASPI::LoadAspi(sim.Machine().Aspi()));
        EXPECT_FALSE(sim.Machine().Aspi().IsLoaded());
    }
}

TEST(AspiLoad, AMissingLibraryOrEntryPointFails) {
    {
        auto machine = AspiMachine({AspiCdrom("E:\\", 0, 0)});
        machine.aspi.bInstalled = false;
        CSimFixture sim(std::move(machine));
        EXPECT_FALSE(CCDRomASPI::LoadAspi(sim.Machine().Aspi()));
    }
    {
        auto machine = AspiMachine({AspiCdrom("E:\\", 0, 0)});
        machine.aspi.bEntryPoints = false;
        CSimFixture sim(std::move(machine));
        EXPECT_FALSE(CCDRomASPI::LoadAspi(sim.Machine().Aspi()));
        EXPECT_THAT(sim.Machine().Aspi().Calls(), IsEmpty());
        EXPECT_FALSE(sim.Machine().Aspi().IsLoaded());
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
