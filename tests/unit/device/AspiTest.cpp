// The ASPI transport: whether the library is taken, where the scan finds each drive, what a request
// block holds, and how a request ends when the manager refuses it, posts a block it never had, or
// completes it after its drive has gone.
#include "device/CDRomList.h"
#include "platform/AspiLayout.h"
#include "tests/support/SimDrive.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <tuple>

namespace qv::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Pass-through first: where it answers, ASPI is not even loaded. Otherwise the support info and the
// test block decide whether ASPI is taken.
TEST(AspiLoad, ThePassThroughWhereTheOsCarriesItElseTheSupportInfoAndTheTestBlockDecide) {
    // The transport chosen (0: none), whether the test block was sent, and the machine's change.
    using Change = std::function<void(sim::SimMachineConfig&)>;
    constexpr int ASPI = TRANSPORT_ASPI;
    const std::tuple<const char*, int, bool, Change> aCases[] = {
        {"the NT family", TRANSPORT_IOCTL, false,
         [](auto& m) { m.platform = sim::SimPlatform::Nt; }},
        {"0100h: complete, no adapter", 0, false, [](auto& m) { m.aspi.nSupportInfo = 0x100; }},
        {"E800h: no adapters", 0, false, [](auto& m) { m.aspi.nSupportInfo = 0xE800; }},
        {"0102h: two adapters", ASPI, true, [](auto& m) { m.aspi.nSupportInfo = 0x0102; }},
        // Nothing at adapter 0, target 0: SS_NO_DEVICE is an answer all the same.
        {"SS_NO_DEVICE answered", ASPI, true,
         [](auto& m) { m.aDrives[1].cdrom->aspi->nTarget = 3; }},
        {"test block fails", 0, true, [](auto& m) { m.aspi.bDiskInfoFails = true; }},
        {"no library", 0, false, [](auto& m) { m.aspi.bInstalled = false; }},
        {"no entry point", 0, false, [](auto& m) { m.aspi.bEntryPoints = false; }},
    };
    for (const auto& [pszWhat, nKind, bTested, change] : aCases) {
        SCOPED_TRACE(pszWhat);
        auto machine = AspiMachine({AspiCdrom("E:\\", 0, 0)}, {0, 0});
        change(machine);
        CSimFixture sim(std::move(machine));
        const auto pTransport = SelectTransport(sim.Platform());
        EXPECT_EQ(pTransport ? pTransport->Kind() : 0, nKind);
        EXPECT_EQ(sim.Machine().Aspi().Calls(),
                  std::vector(bTested ? 1 : 0, sim::SimAspiCall{SC_GET_DISK_INFO, 0, 0}));
        EXPECT_EQ(sim.Machine().Aspi().IsLoaded(), nKind == ASPI);
    }
}

class AspiScan : public ::testing::Test {
protected:
    std::vector<bool> Scan(sim::SimMachineConfig machine, std::vector<std::string> aDrives) {
        m_pSim = std::make_unique<CSimFixture>(std::move(machine));
        EXPECT_TRUE(CAspiTransport::LoadAspi(Aspi()));
        return CAspiTransport(Aspi()).FindDrives(aDrives);
    }
    sim::CSimAspiManager& Aspi() { return m_pSim->Machine().Aspi(); }

    std::unique_ptr<CSimFixture> m_pSim;
};

TEST_F(AspiScan, AnAdapterIsScannedForTheTargetsItReports) {
    // F: is never found, so every target of every adapter is asked for.
    Scan(AspiMachine({AspiCdrom("E:\\", 0, 3), Cdrom("F:\\")}, {0, 16}), {"E:", "F:"});
    // HA_Unique byte 3 of 0 means 8; the first block is the load's test.
    EXPECT_EQ(std::ranges::count(Aspi().Calls(), BYTE{SC_GET_DISK_INFO}, &sim::SimAspiCall::nCmd),
              1 + 8 + 16);
}

TEST_F(AspiScan, EndsAsSoonAsEveryDriveIsFound) {
    EXPECT_THAT(
        Scan(AspiMachine({AspiCdrom("E:\\", 0, 0), AspiCdrom("G:\\", 0, 1)}, {0, 0}), {"E:", "G:"}),
        ElementsAre(true, true));
    EXPECT_THAT(Aspi().Calls(),
                ElementsAre(sim::SimAspiCall{SC_GET_DISK_INFO, 0, 0},
                            sim::SimAspiCall{SC_GETSET_TIMEOUTS, ASPI_ALL, ASPI_ALL},
                            sim::SimAspiCall{SC_HA_INQUIRY, 0, 0},
                            sim::SimAspiCall{SC_GET_DISK_INFO, 0, 0},
                            sim::SimAspiCall{SC_GET_DISK_INFO, 0, 1}));
    EXPECT_EQ(Aspi().LastTimeout(), 20u);
}

TEST_F(AspiScan, AnAdapterWhoseInquiryFailsIsPassedOver) {
    for (const int nStatus : {SS_PENDING, SS_ERR}) {
        auto machine = AspiMachine({AspiCdrom("E:\\", 0, 0), AspiCdrom("G:\\", 1, 0)}, {0, 0});
        machine.aspi.mapAdapterFailures[0] = nStatus;
        EXPECT_THAT(Scan(std::move(machine), {"E:", "G:"}), ElementsAre(false, true)) << nStatus;
    }
}

// Only the drives the scan finds are identified, each at its own address, from the first drive
// to the last.
TEST_F(AspiScan, TheListIdentifiesTheDrivesTheManagerReportsAtTheirAddresses) {
    sim::SimCdromConfig cdrom;
    cdrom.strProduct = "CD-ROM 32X";
    m_pSim = std::make_unique<CSimFixture>(AspiMachine(
        {Cdrom("D:\\"), AspiCdrom("E:\\", 1, 4, cdrom), AspiCdrom("G:\\", 0, 1)}, {0, 0}));
    const auto pTransport = SelectTransport(m_pSim->Platform());
    const auto pList = CCDRomList::Build(m_pSim->Platform(), pTransport.get());
    pList->IdentifyAll();
    ASSERT_TRUE(pList->WaitForIdentification(THREAD_WAIT_LIMIT));
    const DRIVE_STATE e = pList->GetAt(1)->Snapshot();
    EXPECT_EQ(std::tuple(e.bUsable, e.target.nHaId, e.target.nTarget, e.strProduct,
                         pList->GetAt(0)->IsUsable(), pList->GetAt(2)->IsUsable()),
              std::tuple(true, 1, 4, "CD-ROM 32X", false, true));
    EXPECT_EQ(Aspi().ExecBlocks().front().SRB_HaId, 1) << "E: first";
    EXPECT_THAT(m_pSim->Machine().Drive('D')->Commands(), IsEmpty());
}

std::vector<BYTE> BytesOf(const SRB_ExecSCSICmd& srb) {
    const auto* pBytes = reinterpret_cast<const BYTE*>(&srb);
    return {pBytes, pBytes + sizeof srb};
}

// Every byte of a SCSI command block on this platform's layout; the unnamed fields are 0.
void ExpectBlock(const SRB_ExecSCSICmd& srb, BYTE nFlags, DWORD nBufLen, std::vector<BYTE> aCdb) {
    EXPECT_EQ(srb.SRB_BufPointer != nullptr, nBufLen != 0);
    EXPECT_TRUE(srb.SRB_PostProc != nullptr);
    SRB_ExecSCSICmd expected{};
    expected.SRB_Cmd = SC_EXEC_SCSI_CMD;
    expected.SRB_HaId = 1;
    expected.SRB_Flags = nFlags;
    expected.SRB_Target = 3;
    expected.SRB_BufLen = nBufLen;
    expected.SRB_BufPointer = srb.SRB_BufPointer;
    expected.SRB_SenseLen = 14;
    expected.SRB_CDBLen = static_cast<BYTE>(aCdb.size());
    expected.SRB_PostProc = srb.SRB_PostProc;
    std::copy(aCdb.begin(), aCdb.end(), expected.CDBByte);
    EXPECT_EQ(BytesOf(srb), BytesOf(expected));
}

TEST(AspiRequest, BlocksCarryTheCommandsAsTheInterfaceDefinesThem) {
    CSimDrive drive({}, true);
    sim::CSimAspiManager& aspi = drive.Aspi();
    drive.Identified();
    aspi.Hold(); // the buffers stay as they were handed over
    drive.m_pDrive->SetSpeed(8);
    ASSERT_TRUE(Eventually([&] { return aspi.WaitingCount() > 0; }));
    const auto aBlocks = aspi.ExecBlocks();
    ASSERT_EQ(aBlocks.size(), 3u);
    ExpectBlock(aBlocks[0], 0x09, 96, {0x12, 0x00, 0x00, 0x00, 0x60, 0x00});
    ExpectBlock(aBlocks[1], 0x09, 128, {0x1A, 0x00, 0x2A, 0x00, 0x80, 0x00});
    ExpectBlock(aBlocks[2], 0x01, 0, {0xBB, 0x00, 0x05, 0x88, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(CAspiTransport::PendingCount(), 1u);
    aspi.Release();
}

// A block the manager refuses is never posted: it completes at once with the manager's answer,
// and the chain goes on as after any completion.
TEST(AspiRequest, ARefusedBlockCompletesWithTheManagersAnswer) {
    for (const auto& [nReturn, nStatus] :
         {std::pair{SS_ERR, CMD_ERROR}, {SS_NO_DEVICE, CMD_FAILED}, {SS_COMP, CMD_OK}}) {
        CSimDrive drive({}, true, {{SCSIOP_SET_CD_SPEED, static_cast<int>(nReturn)}});
        drive.m_pDrive->SetSpeed(16);
        drive.Settle();
        const auto aEvents = drive.m_sim.Events().Events();
        ASSERT_EQ(aEvents.size(), 2u);
        EXPECT_EQ(aEvents[0], (PostedEvent{RQ_SET_SPEED, nStatus,
                                           reinterpret_cast<std::intptr_t>(drive.m_pDrive.get())}))
            << nReturn;
    }
}

// A completion that comes after its drive has gone is dropped, and a block the manager never had
// is ignored.
TEST(AspiRequest, ARequestCompletedAfterItsDriveHasGoneIsDropped) {
    CSimDrive drive({}, true);
    sim::CSimAspiManager& aspi = drive.Aspi();
    drive.Identified();
    const std::size_t nBefore = aspi.ExecBlocks().size();
    const auto retireWait = CAspiTransport::SetRetireWait(std::chrono::milliseconds(1));
    aspi.Hold();
    drive.m_pDrive->RefreshCapabilities();
    SRB_ExecSCSICmd stray{};
    stray.SRB_Status = SS_COMP;
    ASSERT_TRUE(Eventually([&] { return aspi.WaitingCount() > 0; }));
    const ASPI_POST_PROC pPostProc = aspi.ExecBlocks().back().SRB_PostProc;
    pPostProc(&stray);
    drive.m_pDrive.reset(); // the manager still holds the read
    CAspiTransport::SetRetireWait(retireWait);
    EXPECT_EQ(CAspiTransport::PendingCount(), 1u);

    aspi.Release();
    ASSERT_TRUE(aspi.WaitUntilDrained(THREAD_WAIT_LIMIT));
    EXPECT_EQ(CAspiTransport::PendingCount(), 0u);
    EXPECT_THAT(drive.m_sim.Events().Events(), IsEmpty());
    EXPECT_EQ(aspi.ExecBlocks().size(), nBefore + 1) << "the dropped completion sent nothing more";
}

} // namespace
} // namespace qv::test
