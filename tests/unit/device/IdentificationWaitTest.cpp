#include "device/CDRom.h"
#include "device/CDRomIOCTL.h"
#include "device/CDRomList.h"
#include "tests/support/ScriptedDrives.h"
#include "tests/support/SimFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <new>
#include <thread>

namespace qv::test {
namespace {

using std::chrono::steady_clock;

// A drive whose requests stay with its transport until the test completes them, as an
// asynchronous transport keeps them until its own thread reports.
class CDeferredDrive : public CCDRom {
public:
    using CCDRom::CCDRom;
    void Inquiry() override {}
    void ModeSense(int) override {}
};

class IdentificationWaitTest : public ::testing::Test {
protected:
    CSimFixture m_sim{NtMachine({Cdrom("E:\\"), Cdrom("F:\\")})};
    CDeferredDrive m_drive{m_sim.Platform(), "E:\\"};
};

// A drive never identified is not waited for. INQUIRY completing only moves the chain on to the
// capabilities read; either read's event ends it, the first one's or that of its retry.
TEST_F(IdentificationWaitTest, AChainIsPendingUntilItsLastEvent) {
    EXPECT_TRUE(m_drive.WaitIdentified(steady_clock::now()));
    m_drive.StartIdentification();
    EXPECT_FALSE(m_drive.WaitIdentified(steady_clock::now()));
    m_drive.OnCommandComplete(RQ_INQUIRY, CMD_OK, {}, {});
    EXPECT_FALSE(m_drive.WaitIdentified(steady_clock::now()));
    m_drive.OnCommandComplete(RQ_IDENTIFY_CAPS, CMD_FAILED, {}, {});
    EXPECT_TRUE(m_drive.WaitIdentified(steady_clock::now()));
    EXPECT_EQ(m_sim.Events().Codes(&m_drive), (std::vector<int>{RQ_IDENTIFY_CAPS}));

    m_drive.StartIdentification();
    m_drive.OnCommandComplete(RQ_IDENTIFIED, CMD_OK, {}, {});
    EXPECT_TRUE(m_drive.WaitIdentified(steady_clock::now()));
}

TEST_F(IdentificationWaitTest, AWaiterWakesWhenAnotherThreadEndsTheChain) {
    m_drive.StartIdentification();
    std::thread completion([this] { m_drive.OnCommandComplete(RQ_IDENTIFY_CAPS, CMD_OK, {}, {}); });
    EXPECT_TRUE(m_drive.WaitIdentified(steady_clock::now() + std::chrono::minutes(5)));
    completion.join();
}

// A chain that breaks off without its last event has ended all the same: a send that throws,
// in the dispatcher or in the transport, must not leave the save run waiting out its limit.
TEST_F(IdentificationWaitTest, AChainWhoseSendThrowsHasEnded) {
    class CThrowingDrive : public CDeferredDrive {
    public:
        using CDeferredDrive::CDeferredDrive;
        void ModeSense(int) override { throw std::bad_alloc(); }
    };
    CThrowingDrive drive(m_sim.Platform(), "E:\\");
    drive.StartIdentification();
    drive.OnCommandComplete(RQ_INQUIRY, CMD_OK, {}, {});
    EXPECT_TRUE(drive.WaitIdentified(steady_clock::now()));

    CScriptedDrives drives;
    drives.answer = [](DWORD, BYTE*, DWORD) -> bool { throw std::bad_alloc(); };
    CCDRomIOCTL passThrough(m_sim.WithDrives(drives), "E:\\");
    passThrough.StartIdentification();
    EXPECT_TRUE(passThrough.WaitIdentified(steady_clock::now()));
}

TEST_F(IdentificationWaitTest, PassThroughChainsHaveEndedWhenIdentifyAllReturns) {
    ASSERT_EQ(CCDRom::SelectTransport(m_sim.Platform()), TRANSPORT_IOCTL);
    auto pList = CCDRomList::Build(m_sim.Platform());
    pList->IdentifyAll();
    EXPECT_TRUE(pList->WaitForIdentification(std::chrono::milliseconds(0)));
    EXPECT_EQ(pList->GetAt(1)->Snapshot().nCurSpeed, 40);
}

} // namespace
} // namespace qv::test
