// What a request chain posts and when: detection ends with the status of its last read, drives
// are identified in the order of the list, and no event goes out while a device handle of the
// request is still open, on either transport.
#include "device/CDRomIOCTL.h"
#include "device/CDRomList.h"
#include "tests/support/AspiMachine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace qv::test {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;

TEST(ChainEvents, DetectionEndsWithTheStatusOfItsLastRead) {
    struct Case {
        const char* pszWhat;
        sim::SetSpeedMode setSpeed;
        bool bPassThrough;
        int nStatus;
    };
    const Case aCases[] = {
        {"every command answered", sim::SetSpeedMode::Accept, true, CMD_OK},
        {"set-speed refused, page read", sim::SetSpeedMode::Reject, true, CMD_OK},
        {"every request refused by the OS", sim::SetSpeedMode::Accept, false, CMD_FAILED},
    };
    for (const Case& c : aCases) {
        SCOPED_TRACE(c.pszWhat);
        sim::SimCdromConfig cdrom;
        cdrom.setSpeed = c.setSpeed;
        auto machine = NtMachine({Cdrom("E:\\", cdrom)});
        machine.aDrives.back().bPassThrough = c.bPassThrough;
        CSimFixture sim(std::move(machine));
        CCDRomIOCTL device(sim.Platform(), "E:\\");
        device.DetectSpeeds();
        const auto aEvents = sim.Events().Events();
        const auto itDone = std::find_if(aEvents.begin(), aEvents.end(), [](const auto& event) {
            return event.nEvent == RQ_DETECT_DONE;
        });
        ASSERT_NE(itDone, aEvents.end());
        EXPECT_EQ(itDone->nStatus, c.nStatus);
    }
}

// The machines of both transports with three CD-ROM drives, and the transport each gives.
std::vector<std::pair<sim::SimMachineConfig, int>> ThreeDriveMachines() {
    return {
        {NtMachine({Cdrom("E:\\"), Cdrom("G:\\"), Cdrom("H:\\")}), TRANSPORT_IOCTL},
        {AspiMachine({AspiCdrom("E:\\", 0, 0), AspiCdrom("G:\\", 0, 1), AspiCdrom("H:\\", 0, 2)}),
         TRANSPORT_ASPI}};
}

// The manager completes its requests in the order it was handed them.
TEST(ChainEvents, DrivesAreIdentifiedInOrderAndNoHandleIsOpenWhenAnEventGoesOut) {
    for (auto& [machine, nTransport] : ThreeDriveMachines()) {
        SCOPED_TRACE(nTransport);
        CSimFixture sim(std::move(machine));
        ASSERT_EQ(CCDRom::SelectTransport(sim.Platform()), nTransport);
        const auto pList = CCDRomList::Build(sim.Platform());
        sim.Machine().Aspi().Hold();
        pList->IdentifyAll();
        sim.Machine().Aspi().Release();
        for (int nIndex = 0; nIndex < pList->GetCount(); ++nIndex)
            ASSERT_TRUE(
                sim.Events().WaitFor(RQ_IDENTIFIED, pList->GetAt(nIndex), THREAD_WAIT_LIMIT));
        std::vector<std::intptr_t> aIdentified;
        for (const PostedEvent& event : sim.Events().Events())
            aIdentified.push_back(event.lDevice);
        EXPECT_THAT(aIdentified, ElementsAre(reinterpret_cast<std::intptr_t>(pList->GetAt(0)),
                                             reinterpret_cast<std::intptr_t>(pList->GetAt(1)),
                                             reinterpret_cast<std::intptr_t>(pList->GetAt(2))));

        CCDRom& drive = *pList->GetAt(0);
        drive.DetectSpeeds();
        ASSERT_TRUE(sim.Events().WaitFor(RQ_DETECT_DONE, &drive, THREAD_WAIT_LIMIT));
        ASSERT_TRUE(sim.Machine().Aspi().WaitUntilDrained(THREAD_WAIT_LIMIT));
        EXPECT_THAT(sim.OpenHandlesAtEvents(), Not(IsEmpty()));
        EXPECT_THAT(sim.OpenHandlesAtEvents(), Each(0));
    }
}

} // namespace
} // namespace qv::test
