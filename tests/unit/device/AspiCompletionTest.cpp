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
#include <cstdio>

namespace qv::test {
namespace {

using ::testing::Contains;
using ::testing::IsEmpty;

constexpr int SS_ABORTED = 0x02;
constexpr int SS_ABORT_FAIL = 0x03;

std::string StatusName(int nStatus) {
    char szName[16];
    std::snprintf(szName, sizeof szName, "Status%02X", static_cast<unsigned>(nStatus));
    return szName;
}

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

struct Completion {
    int nSrbStatus;
    int nStatus;
};

class AspiCompletion : public ::testing::TestWithParam<Completion> {};

TEST_P(AspiCompletion, EndsTheRequestWithTheStatusItStandsFor) {
    auto machine = AspiMachine({AspiCdrom("E:\\", 0, 0)});
    machine.aspi.mapCompletions[SCSIOP_SET_CD_SPEED] = GetParam().nSrbStatus;
    AspiIdentified aspi(std::move(machine));
    CCDRom& drive = *aspi.m_pList->GetAt(0);
    drive.SetSpeed(16, RQ_SET_SPEED);
    ASSERT_TRUE(aspi.m_sim.Events().WaitFor(RQ_SET_SPEED, &drive, THREAD_WAIT_LIMIT));
    EXPECT_THAT(aspi.m_sim.Events().Events(),
                Contains(PostedEvent{RQ_SET_SPEED, GetParam().nStatus,
                                     reinterpret_cast<std::intptr_t>(&drive)}));
}

INSTANTIATE_TEST_SUITE_P(
    SrbStatuses, AspiCompletion,
    ::testing::Values(Completion{SS_COMP, CMD_OK}, Completion{SS_ERR, CMD_ERROR},
                      Completion{SS_PENDING, CMD_FAILED}, Completion{SS_ABORTED, CMD_FAILED},
                      Completion{SS_ABORT_FAIL, CMD_FAILED}, Completion{SS_INVALID_HA, CMD_FAILED},
                      Completion{SS_NO_DEVICE, CMD_FAILED}, Completion{SS_INVALID_SRB, CMD_FAILED},
                      Completion{0xFF, CMD_FAILED}),
    [](const auto& test) { return StatusName(test.param.nSrbStatus); });

class AspiAdapterFailure : public ::testing::TestWithParam<int> {};

TEST_P(AspiAdapterFailure, TheScanPassesOverTheAdapterAndGoesOnToTheNext) {
    auto machine = AspiMachine({AspiCdrom("E:\\", 0, 0), AspiCdrom("G:\\", 1, 0)}, {0, 0});
    machine.aspi.mapAdapterFailures[0] = GetParam();
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

INSTANTIATE_TEST_SUITE_P(InquiryStatuses, AspiAdapterFailure,
                         ::testing::Values(SS_PENDING, SS_ABORT_FAIL, SS_ERR, SS_INVALID_HA, 0xFF),
                         [](const auto& test) { return StatusName(test.param); });

} // namespace
} // namespace qv::test
