// The simulated machine must be indistinguishable from a real one through the drive service:
// the port driver's checks on a request block, and the MMC drive's answers and quirks.
#include "sim/SimMachine.h"
#include "device/PassThrough.h"
#include "device/Scsi.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qv::sim {
namespace {

using ::testing::ElementsAre;

SimMachineConfig OneDrive(SimCdromConfig cdrom) {
    SimDriveConfig drive;
    drive.strRoot = "E:\\";
    drive.nType = DRIVETYPE_CDROM;
    drive.cdrom = std::move(cdrom);
    SimMachineConfig machine;
    machine.aDrives.push_back(std::move(drive));
    return machine;
}

class SimPassThrough : public ::testing::Test {
protected:
    void Make(SimCdromConfig cdrom) {
        m_pMachine = std::make_unique<CSimMachine>(OneDrive(std::move(cdrom)));
        m_hDevice = m_pMachine->CreateFile("\\\\.\\E:", 0, 0, 0, 0);
    }
    void SetUp() override { Make({}); }

    bool Send(CPassThroughRequest& request, DWORD nOutSize) {
        DWORD nReturned = 0;
        return m_pMachine->DeviceIoControl(m_hDevice, CTL_SCSI_PASS_THROUGH, request.Data(),
                                           static_cast<DWORD>(PT_HEADER_SIZE), request.Data(),
                                           nOutSize, &nReturned);
    }
    bool Send(CPassThroughRequest& request) { return Send(request, request.OutputLength()); }
    // The request with its Length filled in, as the device code sends it, then changed.
    static CPassThroughRequest Ready(CPassThroughRequest request, auto change) {
        auto header = request.Header();
        header.Length = static_cast<WORD>(PT_HEADER_SIZE);
        change(header);
        request.SetHeader(header);
        return request;
    }
    static CPassThroughRequest Ready(CPassThroughRequest request) {
        return Ready(std::move(request), [](auto&) {});
    }
    int SpeedAfterRequesting(int nSpeed) {
        auto request = Ready(CPassThroughRequest::SetSpeed(nSpeed));
        EXPECT_TRUE(Send(request));
        return m_pMachine->Drive('E')->CurrentSpeed();
    }

    std::unique_ptr<CSimMachine> m_pMachine;
    DeviceHandle m_hDevice = INVALID_DEVICE_HANDLE;
};

TEST_F(SimPassThrough, AWellFormedInquiryIsAnswered) {
    auto request = Ready(CPassThroughRequest::Inquiry(0));
    ASSERT_TRUE(Send(request));
    EXPECT_EQ(request.Header().ScsiStatus, SCSISTAT_GOOD);
    EXPECT_EQ(request.Header().DataTransferLength, 96u);
    EXPECT_EQ(request.DataArea()[0], 0x05);
}

TEST_F(SimPassThrough, MalformedBlocksFailTheIoControl) {
    const std::vector<std::function<void(PASS_THROUGH_HEADER&)>> aBreakages{
        [](auto& h) { h.Length = 44 + 56; },
        [](auto& h) { h.CdbLength = 0; },
        [](auto& h) { h.CdbLength = 17; },
        [](auto& h) { h.DataIn = 3; },
        [](auto& h) { h.DataTransferLength = 97; },
        [](auto& h) { h.DataBufferOffset = 8; },
        [](auto& h) { h.DataBufferOffset = ~std::uintptr_t{0}; },
        [](auto& h) {
            h.SenseInfoLength = 32;
            h.SenseInfoOffset = static_cast<DWORD>(PT_HEADER_SIZE + 80);
        },
    };
    for (std::size_t i = 0; i < aBreakages.size(); ++i) {
        auto request = Ready(CPassThroughRequest::Inquiry(0), aBreakages[i]);
        EXPECT_FALSE(Send(request, static_cast<DWORD>(request.Size()))) << "breakage " << i;
    }
    auto request = Ready(CPassThroughRequest::Inquiry(0));
    EXPECT_FALSE(Send(request, static_cast<DWORD>(PT_HEADER_SIZE + 95))) << "output too short";
    EXPECT_TRUE(m_pMachine->Drive('E')->Commands().empty());
}

TEST_F(SimPassThrough, ClosedOrUnknownHandlesFail) {
    auto request = Ready(CPassThroughRequest::SetSpeed(8));
    m_pMachine->CloseHandle(m_hDevice);
    EXPECT_FALSE(Send(request));
    m_hDevice = INVALID_DEVICE_HANDLE;
    EXPECT_FALSE(Send(request));
}

TEST_F(SimPassThrough, SetSpeedRoundsDownToAnAcceptedSpeedNeverBelowTheLowest) {
    SimCdromConfig cdrom;
    cdrom.aSpeeds = {4, 8, 16, 24, 32, 40};
    cdrom.nCurrent = 24;
    Make(cdrom);
    EXPECT_EQ(SpeedAfterRequesting(39), 32);
    EXPECT_EQ(SpeedAfterRequesting(16), 16);
    EXPECT_EQ(SpeedAfterRequesting(3), 4);
    EXPECT_EQ(SpeedAfterRequesting(0), 40);
    EXPECT_EQ(SpeedAfterRequesting(300), 40);
}

TEST_F(SimPassThrough, ARejectingDriveAnswersIllegalRequestInvalidOpcode) {
    SimCdromConfig cdrom;
    cdrom.setSpeed = SetSpeedMode::Reject;
    Make(cdrom);
    auto request = Ready(CPassThroughRequest::SetSpeed(8));
    ASSERT_TRUE(Send(request));
    EXPECT_EQ(request.Header().ScsiStatus, SCSISTAT_CHECK_CONDITION);
    EXPECT_EQ(m_pMachine->Drive('E')->CurrentSpeed(), 40);
}

TEST_F(SimPassThrough, ModeSense6RejectionIsDeliveredAsSenseWhenSenseIsAskedFor) {
    SimCdromConfig cdrom;
    cdrom.bModeSense6 = false;
    Make(cdrom);
    auto request =
        Ready(CPassThroughRequest::ModeSense(0, false), [](auto& h) { h.SenseInfoLength = 18; });
    ASSERT_TRUE(Send(request));
    EXPECT_EQ(request.Header().ScsiStatus, SCSISTAT_CHECK_CONDITION);
    const BYTE* pSense = request.Data() + PT_HEADER_SIZE;
    EXPECT_EQ(SenseKey(pSense), SENSE_KEY_ILLEGAL_REQUEST);
    EXPECT_EQ(SenseAsc(pSense), ASC_INVALID_OPCODE);
}

TEST(SimMmcDrive, PadsTextFieldsWithBlanksKeepingLeadingOnes) {
    SimCdromConfig cdrom;
    cdrom.strVendor = "QRVX";
    cdrom.strProduct = "  CD 40";
    CSimMmcDrive drive(cdrom);
    const auto cdb = MakeInquiryCdb(0);
    BYTE aReply[96] = {};
    drive.Execute(cdb.bytes.data(), cdb.nLength, aReply, sizeof aReply);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(aReply + 8), 8), "QRVX    ");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(aReply + 16), 16), "  CD 40         ");
}

TEST(SimMmcDrive, ReportsPageFieldsAndHonoursTheAllocationLength) {
    SimCdromConfig cdrom;
    cdrom.aSpeeds = {8, 16};
    cdrom.nCurrent = 8;
    cdrom.nMaxRate = 3000;
    cdrom.nBlockDescriptorLength = 8;
    CSimMmcDrive drive(cdrom);
    auto cdb = MakeModeSense10Cdb(0);
    BYTE aReply[128] = {};
    const auto result = drive.Execute(cdb.bytes.data(), cdb.nLength, aReply, sizeof aReply);
    EXPECT_EQ(result.nTransferred, 8u + 8 + 22);
    EXPECT_EQ(ReadBigEndian16(aReply + 6), 8);
    EXPECT_EQ(ReadBigEndian16(aReply + 16 + 8), 3000);
    EXPECT_EQ(ReadBigEndian16(aReply + 16 + 14), 1408);

    cdb.bytes[8] = 10; // allocation length 10
    EXPECT_EQ(drive.Execute(cdb.bytes.data(), cdb.nLength, aReply, sizeof aReply).nTransferred,
              10u);
}

TEST(SimMachine, VolumePathsOpenOnlyOnTheNtFamilyAndShortDriveStringBuffersGetTheSize) {
    auto config = OneDrive({});
    CSimMachine nt(config);
    EXPECT_NE(nt.CreateFile("\\\\.\\E:", 0, 0, 0, 0), INVALID_DEVICE_HANDLE);
    EXPECT_EQ(nt.CreateFile("\\\\.\\Q:", 0, 0, 0, 0), INVALID_DEVICE_HANDLE);
    EXPECT_EQ(nt.CreateFile("E:\\", 0, 0, 0, 0), INVALID_DEVICE_HANDLE);
    char szRoots[4] = {};
    EXPECT_EQ(nt.GetLogicalDriveStrings(sizeof szRoots, szRoots), 5u);
    config.platform = SimPlatform::Win9x;
    CSimMachine win9x(config);
    EXPECT_EQ(win9x.CreateFile("\\\\.\\E:", 0, 0, 0, 0), INVALID_DEVICE_HANDLE);
}

} // namespace
} // namespace qv::sim
