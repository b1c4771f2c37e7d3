// What the ASPI manager's statuses mean to the drive code: a posted request that ends with any
// status but done or error has failed, and a host adapter whose inquiry fails is passed over by
// the scan, whatever its status, while the adapters after it are still scanned.
#include "device/CDRomASPI.h"
#include "device/CDRomList.h"
#include "device/Scsi.h"
#include "tests/support/AspiMachine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace qv::test {
namespace {

using ::testing::Contains;
using ::testing::IsEmpty;

// Identifies every drive of the machine through its ASPI manager.
class AspiIdentified {
public:
    explicit AspiIdentified(sim::SimMachineConfig machine) : m_sim(std::move(machine)) {
        EXPECT_EQ(CCDRom::SelectTransport(m_sim.Platform()), TRANSPORT_ASPI);
        m_pList = CCDRomList::Build(m_sim.Platform());
        m_pList->IdentifyAll();
        EXPECT_TRUE(m_pList->WaitForIdentification(THREAD_WAIT_LIMIT));
    }
    ~AspiIdentified() { EXPECT_TRUE(m_sim.Machine().Aspi().WaitUntilDrained(THREAD_WAIT_LIMIT)); }

    // The list goes before the machine whose manager completes its requests.
    CSimFixture m_sim;
    std::unique_ptr<CCDRomList> m_pList;
};

TEST(AspiCompletion, APostedRequestEndsWithTheStatusItStandsFor) {
    struct Case {
        int nSrbStatus;
        int nStatus;
    };
    for (const Case& c : {Case{SS_COMP, CMD_OK}, Case{SS_ERR, CMD_ERROR},
                          Case{SS_PENDING, CMD_FAILED}, Case{0xFF, CMD_FAILED}}) {
        SCOPED_TRACE(c.nSrbStatus);
        auto machine = AspiMachine({AspiCdrom("E:\\", 0, 0)});
        machine.aspi.mapCompletions[SCSIOP_SET_CD_SPEED] = c.nSrbStatus;
        AspiIdentified aspi(std::move(machine));
        CCDRom& drive = *aspi.m_pList->GetAt(0);
        drive.SetSpeed(16, RQ_SET_SPEED);
        ASSERT_TRUE(aspi.m_sim.Events().WaitFor(RQ_SET_SPEED, &drive, THREAD_WAIT_LIMIT));
        EXPECT_THAT(aspi.m_sim.Events().Events(),
                    Contains(PostedEvent{RQ_SET_SPEED, c.nStatus,
                                         reinterpret_cast<std::intptr_t>(&drive)}));
    }
}

TEST(AspiAdapterFailure, TheScanPassesOverTheAdapterAndGoesOnToTheNext) {
    for (const int nStatus : {SS_PENDING, SS_ERR}) {
        SCOPED_TRACE(nStatus);
        auto machine = AspiMachine({AspiCdrom("E:\\", 0, 0), AspiCdrom("G:\\", 1, 0)}, {0, 0});
        machine.aspi.mapAdapterFailures[0] = nStatus;
        AspiIdentified aspi(std::move(machine));
        // The scan starts with the timeout setting; the load test before it asks for a disk too.
        const auto aCalls = aspi.m_sim.Machine().Aspi().Calls();
        const auto itScan = std::find_if(aCalls.begin(), aCalls.end(), [](const auto& call) {
            return call.nCmd == SC_GETSET_TIMEOUTS;
        });
        EXPECT_TRUE(std::none_of(itScan, aCalls.end(), [](const sim::SimAspiCall& call) {
            return call.nCmd == SC_GET_DISK_INFO && call.nHaId == 0;
        }));
        EXPECT_FALSE(aspi.m_pList->GetAt(0)->IsUsable());
        EXPECT_THAT(aspi.m_sim.Machine().Drive('E')->Commands(), IsEmpty());
        EXPECT_TRUE(aspi.m_pList->GetAt(1)->IsUsable());
        EXPECT_TRUE(
            aspi.m_sim.Events().WaitFor(RQ_IDENTIFIED, aspi.m_pList->GetAt(1), THREAD_WAIT_LIMIT));
    }
}

} // namespace
} // namespace qv::test
