// Request chains on the ASPI path run on the manager's thread, one step per completion, while
// the user-interface thread goes on sending and reading.
#include "device/CDRomASPI.h"
#include "device/CDRomList.h"
#include "device/Scsi.h"
#include "tests/support/AspiMachine.h"
#include "tests/support/DetectionChecks.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace qv::test {
namespace {

using ::testing::ElementsAre;

sim::SimCdromConfig Drive(std::vector<int> aSpeeds, int nCurrent, bool bModeSense6 = true) {
    sim::SimCdromConfig cdrom;
    cdrom.aSpeeds = std::move(aSpeeds);
    cdrom.nCurrent = nCurrent;
    cdrom.bModeSense6 = bModeSense6;
    return cdrom;
}

class AspiChain : public ::testing::Test {
protected:
    void Start(sim::SimMachineConfig machine) {
        m_pSim = std::make_unique<CSimFixture>(std::move(machine));
        ASSERT_EQ(CCDRom::SelectTransport(m_pSim->Platform()), TRANSPORT_ASPI);
        m_pList = CCDRomList::Build(m_pSim->Platform());
    }
    void Identify() {
        m_pList->IdentifyAll();
        WaitIdentified();
    }
    // Until every drive has been sent the event that ends its identification.
    void WaitIdentified() {
        for (int nIndex = 0; nIndex < m_pList->GetCount(); ++nIndex)
            ASSERT_TRUE(Events().WaitFor(RQ_IDENTIFIED, m_pList->GetAt(nIndex), THREAD_WAIT_LIMIT));
    }
    CRecordingEvents& Events() { return m_pSim->Events(); }
    sim::CSimAspiManager& Aspi() { return m_pSim->Machine().Aspi(); }

    // The list goes before the machine whose manager completes its requests.
    std::unique_ptr<CSimFixture> m_pSim;
    std::unique_ptr<CCDRomList> m_pList;
};

// The main window asks for a detection when a drive is chosen, which may be while the drive is
// still being identified or an earlier detection still runs.
TEST_F(AspiChain, DetectionsAskedForWhileAChainRunsLeaveOneWholeDetection) {
    for (const bool bDuringIdentification : {true, false}) {
        SCOPED_TRACE(bDuringIdentification ? "during identification" : "during detection");
        Start(AspiMachine({AspiCdrom("E:\\", 0, 0, Drive({4, 8, 16, 24, 32, 40}, 24))}));
        CCDRom& e = *m_pList->GetAt(0);
        if (!bDuringIdentification)
            Identify();
        Aspi().Hold();
        if (bDuringIdentification)
            m_pList->IdentifyAll();
        e.DetectSpeeds();
        e.DetectSpeeds();
        Aspi().Release();
        ASSERT_TRUE(Events().WaitFor(RQ_DETECT_DONE, &e, THREAD_WAIT_LIMIT));
        ASSERT_TRUE(Aspi().WaitUntilDrained(THREAD_WAIT_LIMIT));
        ExpectOneWholeDetection(e, *m_pSim->Machine().Drive('E'), {4, 8, 16, 24, 32, 40}, 24,
                                Events());
        m_pList.reset();
    }
}

TEST_F(AspiChain, DrivesCompleteInTheOrderTheManagerChooses) {
    auto machine = AspiMachine({AspiCdrom("E:\\", 0, 0), AspiCdrom("G:\\", 0, 1)});
    machine.aspi.order = sim::SimAspiOrder::NewestFirst;
    Start(std::move(machine));
    Aspi().Hold();
    m_pList->IdentifyAll();
    EXPECT_EQ(Aspi().WaitingCount(), 2u); // both INQUIRYs, E's first
    Aspi().Release();
    WaitIdentified();

    const auto aEvents = Events().Events();
    ASSERT_EQ(aEvents.size(), 2u);
    EXPECT_EQ(aEvents[0], (PostedEvent{RQ_IDENTIFIED, CMD_OK,
                                       reinterpret_cast<std::intptr_t>(m_pList->GetAt(1))}));
    EXPECT_EQ(aEvents[1], (PostedEvent{RQ_IDENTIFIED, CMD_OK,
                                       reinterpret_cast<std::intptr_t>(m_pList->GetAt(0))}));
    for (int nIndex : {0, 1}) {
        const DRIVE_STATE drive = m_pList->GetAt(nIndex)->Snapshot();
        EXPECT_TRUE(drive.bUsable);
        EXPECT_EQ(drive.nMaxSpeed, 40);
    }
}

// G: knows only MODE SENSE(10).
TEST_F(AspiChain, TheUserInterfaceSendsAndReadsWhileChainsRun) {
    constexpr int REFRESHES = 25;
    Start(AspiMachine({AspiCdrom("E:\\", 0, 0, Drive({4, 8, 16, 24, 32, 40}, 40)),
                       AspiCdrom("G:\\", 0, 1, Drive({8, 16, 24}, 16, false))}));
    Identify();
    CCDRom& e = *m_pList->GetAt(0);
    CCDRom& g = *m_pList->GetAt(1);
    Events().Clear();

    e.DetectSpeeds();
    for (int i = 0; i < REFRESHES; ++i) {
        g.RefreshCapabilities(RQ_REFRESH_CAPS);
        const auto aSpeeds = e.GetSpeeds();
        EXPECT_TRUE(
            std::is_sorted(aSpeeds.begin(), aSpeeds.end(),
                           [](const auto& a, const auto& b) { return a.nSpeed < b.nSpeed; }));
        EXPECT_LE(e.Snapshot().nCurSpeed, 40);
    }
    ASSERT_TRUE(Aspi().WaitUntilDrained(THREAD_WAIT_LIMIT));

    EXPECT_EQ(e.GetSpeeds().size(), 6u);
    // The set-back is queued behind the step that ends detection, so its events come after.
    EXPECT_THAT(Events().Codes(&e), ElementsAre(RQ_DETECT_DONE, RQ_SET_SPEED, RQ_REFRESH_CAPS));
    EXPECT_EQ(Events().Codes(&g), std::vector<int>(REFRESHES, RQ_REFRESH_CAPS));
    EXPECT_EQ(g.Snapshot().nCurSpeed, 16);
    EXPECT_EQ(CCDRomASPI::PendingCount(), 0u);
}

} // namespace
} // namespace qv::test
