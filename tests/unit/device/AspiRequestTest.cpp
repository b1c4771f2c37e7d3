// What an ASPI device hands the manager, how a request ends when the manager refuses it or
// posts a block it never had, and how a device goes while the manager still holds its requests.
#include "device/CDRomASPI.h"
#include "device/Scsi.h"
#include "tests/support/AspiMachine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace qv::test {
namespace {

using ::testing::Contains;
using ::testing::Each;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

class AspiRequest : public ::testing::Test {
protected:
    explicit AspiRequest(sim::SimMachineConfig machine = AspiMachine({AspiCdrom("E:\\", 1, 3)},
                                                                     {0, 0}))
        : m_sim(std::move(machine)) {
        EXPECT_EQ(CCDRom::SelectTransport(m_sim.Platform()), TRANSPORT_ASPI);
    }
    ~AspiRequest() override {
        EXPECT_TRUE(Aspi().WaitUntilDrained(THREAD_WAIT_LIMIT));
        CCDRomASPI::SetRetireWait(m_retireWait);
    }

    std::unique_ptr<CCDRomASPI> MakeDevice() {
        auto pDevice = std::make_unique<CCDRomASPI>(m_sim.Platform(), "E:\\");
        pDevice->ClaimAddress(1, 3, 0);
        return pDevice;
    }
    sim::CSimAspiManager& Aspi() { return m_sim.Machine().Aspi(); }

    CSimFixture m_sim;
    // How long a going device waits for its requests, as a test may change it.
    const std::chrono::milliseconds m_retireWait = CCDRomASPI::SetRetireWait(THREAD_WAIT_LIMIT);
};

// Every field of a SCSI command block on this platform's layout; the unnamed ones are 0.
void ExpectBlock(const SRB_ExecSCSICmd& srb, BYTE nFlags, DWORD nBufLen, std::vector<BYTE> aCdb) {
    EXPECT_EQ(srb.SRB_Cmd, SC_EXEC_SCSI_CMD);
    EXPECT_EQ(srb.SRB_Status, 0);
    EXPECT_EQ(srb.SRB_HaId, 1);
    EXPECT_EQ(srb.SRB_Flags, nFlags);
    EXPECT_EQ(srb.SRB_Hdr_Rsvd, 0u);
    EXPECT_EQ(srb.SRB_Target, 3);
    EXPECT_EQ(srb.SRB_Lun, 0);
    EXPECT_EQ(srb.SRB_Rsvd1, 0);
    EXPECT_EQ(srb.SRB_BufLen, nBufLen);
    EXPECT_EQ(srb.SRB_BufPointer != nullptr, nBufLen != 0);
    EXPECT_EQ(srb.SRB_SenseLen, 14);
    EXPECT_EQ(srb.SRB_CDBLen, aCdb.size());
    EXPECT_EQ(srb.SRB_HaStat, 0);
    EXPECT_EQ(srb.SRB_TargStat, 0);
    const ASPI_POST_PROC pPostProc = srb.SRB_PostProc; // packed: no reference to the member
    EXPECT_EQ(pPostProc, &CCDRomASPI::AspiPostProc);
    EXPECT_THAT(srb.SRB_Rsvd2, Each(0));
    aCdb.resize(sizeof srb.CDBByte);
    EXPECT_THAT(srb.CDBByte, ElementsAreArray(aCdb));
    EXPECT_THAT(srb.SenseArea, Each(0));
}

TEST_F(AspiRequest, BlocksCarryTheCommandsAsTheInterfaceDefinesThem) {
    Aspi().Hold(); // the buffers stay as they were handed over
    auto pDevice = MakeDevice();
    pDevice->Inquiry();
    pDevice->ModeSense(RQ_REFRESH_CAPS);
    pDevice->m_bModeSense10 = true;
    pDevice->ModeSense(RQ_REFRESH_CAPS);
    pDevice->SetSpeed(8, RQ_SET_SPEED);

    const auto aBlocks = Aspi().ExecBlocks();
    ASSERT_EQ(aBlocks.size(), 4u);
    ExpectBlock(aBlocks[0], 0x09, 96, {0x12, 0x00, 0x00, 0x00, 0x60, 0x00});
    ExpectBlock(aBlocks[1], 0x09, 128, {0x1A, 0x00, 0x2A, 0x00, 0x80, 0x00});
    ExpectBlock(aBlocks[2], 0x09, 128,
                {0x5A, 0x00, 0x2A, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x00});
    ExpectBlock(aBlocks[3], 0x01, 0, {0xBB, 0x00, 0x05, 0x88, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_TRUE(std::all_of(aBlocks[0].SRB_BufPointer, aBlocks[0].SRB_BufPointer + 96,
                            [](BYTE b) { return b == 0; }));
    EXPECT_TRUE(std::all_of(aBlocks[1].SRB_BufPointer, aBlocks[1].SRB_BufPointer + 4,
                            [](BYTE b) { return b == 0; }));
    EXPECT_EQ(CCDRomASPI::PendingCount(), 4u);
    Aspi().Release();
}

struct Refusal {
    DWORD nReturn;
    int nStatus;
};

sim::SimMachineConfig Refusing(int nOpcode, DWORD nReturn) {
    auto machine = AspiMachine({AspiCdrom("E:\\", 1, 3)}, {0, 0});
    machine.aspi.mapRefusals[nOpcode] = static_cast<int>(nReturn);
    return machine;
}

class AspiRefusal : public AspiRequest, public ::testing::WithParamInterface<Refusal> {
protected:
    AspiRefusal() : AspiRequest(Refusing(SCSIOP_SET_CD_SPEED, GetParam().nReturn)) {}
};

TEST_P(AspiRefusal, ARefusedBlockCompletesBeforeTheSendReturns) {
    auto pDevice = MakeDevice();
    pDevice->SetSpeed(16, RQ_SET_SPEED);
    const auto aEvents = m_sim.Events().Events();
    ASSERT_FALSE(aEvents.empty());
    EXPECT_EQ(aEvents.front(), (PostedEvent{RQ_SET_SPEED, GetParam().nStatus,
                                            reinterpret_cast<std::intptr_t>(pDevice.get())}));
    // The chain goes on as after any set-speed completion.
    EXPECT_TRUE(m_sim.Events().WaitFor(RQ_REFRESH_CAPS, pDevice.get(), THREAD_WAIT_LIMIT));
}

INSTANTIATE_TEST_SUITE_P(StatusMapping, AspiRefusal,
                         ::testing::Values(Refusal{SS_ERR, CMD_ERROR},
                                           Refusal{SS_NO_DEVICE, CMD_FAILED},
                                           Refusal{SS_COMP, CMD_OK}),
                         [](const auto& test) {
                             return "Return" + std::to_string(test.param.nReturn);
                         });

class AspiRefusedInquiry : public AspiRequest {
protected:
    AspiRefusedInquiry() : AspiRequest(Refusing(SCSIOP_INQUIRY, SS_ERR)) {}
};

TEST_F(AspiRefusedInquiry, GoesOnToTheCapabilitiesReadAtOnce) {
    Aspi().Hold();
    auto pDevice = MakeDevice();
    pDevice->Inquiry();
    EXPECT_EQ(Aspi().WaitingCount(), 1u);
    EXPECT_EQ(Aspi().ExecBlocks().back().CDBByte[0], SCSIOP_MODE_SENSE6);
    // The refused block brought no reply: the drive no longer counts as usable.
    EXPECT_FALSE(pDevice->IsUsable());
    Aspi().Release();
    EXPECT_TRUE(m_sim.Events().WaitFor(RQ_IDENTIFIED, pDevice.get(), THREAD_WAIT_LIMIT));
}

TEST_F(AspiRequest, APostedBlockThatIsNotPendingIsIgnored) {
    Aspi().Hold();
    auto pDevice = MakeDevice();
    pDevice->ModeSense(RQ_REFRESH_CAPS);

    SRB_ExecSCSICmd stray{};
    stray.SRB_Status = SS_COMP;
    CCDRomASPI::AspiPostProc(&stray);
    EXPECT_EQ(CCDRomASPI::PendingCount(), 1u);
    EXPECT_THAT(m_sim.Events().Events(), IsEmpty());

    Aspi().Release();
    EXPECT_TRUE(m_sim.Events().WaitFor(RQ_REFRESH_CAPS, pDevice.get(), THREAD_WAIT_LIMIT));
}

TEST_F(AspiRequest, ADeviceGoesOnlyOnceItsChainHasEnded) {
    auto pDevice = MakeDevice();
    const auto lDevice = reinterpret_cast<std::intptr_t>(pDevice.get());
    pDevice->Inquiry();
    pDevice.reset();
    EXPECT_EQ(CCDRomASPI::PendingCount(), 0u);
    EXPECT_THAT(m_sim.Events().Events(), Contains(PostedEvent{RQ_IDENTIFIED, CMD_OK, lDevice}));
}

TEST_F(AspiRequest, ARequestCompletedAfterTheWaitIsDropped) {
    CCDRomASPI::SetRetireWait(std::chrono::milliseconds(1));
    Aspi().Hold();
    auto pDevice = MakeDevice();
    pDevice->Inquiry();
    pDevice.reset(); // the manager still holds the INQUIRY
    EXPECT_EQ(CCDRomASPI::PendingCount(), 1u);

    Aspi().Release();
    ASSERT_TRUE(Aspi().WaitUntilDrained(THREAD_WAIT_LIMIT));
    EXPECT_EQ(CCDRomASPI::PendingCount(), 0u);
    EXPECT_THAT(m_sim.Events().Events(), IsEmpty());
    EXPECT_EQ(Aspi().ExecBlocks().size(), 1u); // the dropped completion sent nothing more
}

} // namespace
} // namespace qv::test
