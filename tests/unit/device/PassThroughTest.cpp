// The pass-through request blocks byte for byte, their completion, and the transport probe.
#include "device/CDRomIOCTL.h"
#include "tests/support/ScriptedDrives.h"
#include "tests/support/SimFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qv {
namespace {

using test::IoControlCall;
using test::PostedEvent;
using ::testing::ElementsAre;

constexpr std::size_t H = PT_HEADER_SIZE;

class PassThroughRequests : public ::testing::Test {
protected:
    test::CScriptedDrives m_drives;
    test::CSimFixture m_fixture{{}};
    test::CRecordingEvents& m_events = m_fixture.Events();
    CPlatform m_platform = m_fixture.WithDrives(m_drives);
    CCDRomIOCTL m_device{m_platform, "E:\\"};

    std::vector<IoControlCall> Sent(DWORD dwCode = CTL_SCSI_PASS_THROUGH) const {
        std::vector<IoControlCall> aCalls;
        for (const auto& call : m_drives.aCalls)
            if (call.dwCode == dwCode)
                aCalls.push_back(call);
        return aCalls;
    }
    static PASS_THROUGH_HEADER HeaderOf(const IoControlCall& call) {
        PASS_THROUGH_HEADER header;
        std::memcpy(&header, call.aInput.data(), sizeof header);
        return header;
    }
    static std::vector<BYTE> CdbOf(const IoControlCall& call) {
        const auto header = HeaderOf(call);
        return {std::begin(header.Cdb), std::end(header.Cdb)};
    }
    void AnswerAddress(BYTE nPath, BYTE nTarget, BYTE nLun) {
        m_drives.answer = [=](DWORD dwCode, BYTE* pOut, DWORD) {
            if (dwCode == CTL_SCSI_GET_ADDRESS) {
                const SCSI_ADDRESS_RECORD address{8, 2, nPath, nTarget, nLun};
                std::memcpy(pOut, &address, sizeof address);
            }
            return true;
        };
    }
};

TEST_F(PassThroughRequests, SetSpeedCarriesTwelveCdbBytesAndNoDataArea) {
    m_device.SetSpeed(8, RQ_SET_SPEED);
    const auto call = Sent().at(0);
    const auto header = HeaderOf(call);
    EXPECT_EQ(header.Length, H);
    EXPECT_EQ(header.CdbLength, 12);
    EXPECT_EQ(header.DataIn, SCSI_IOCTL_DATA_UNSPECIFIED);
    EXPECT_EQ(header.DataTransferLength, 0u);
    EXPECT_EQ(header.DataBufferOffset, 0u);
    EXPECT_EQ(header.SenseInfoOffset, 0u);
    EXPECT_EQ(header.SenseInfoLength, 0);
    EXPECT_EQ(header.TimeOutValue, 20u);
    EXPECT_THAT(CdbOf(call), ElementsAre(0xBB, 0, 0x05, 0x88, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(call.nInSize, H);
    EXPECT_EQ(call.nOutSize, H);
}

TEST_F(PassThroughRequests, SetSpeedZeroAndMinusOneAskForTheMaximum) {
    m_device.SetSpeed(0, RQ_SET_SPEED);
    m_device.SetSpeed(-1, RQ_SET_SPEED);
    std::vector<std::vector<BYTE>> aSetSpeeds;
    for (const auto& call : Sent())
        if (const auto aCdb = CdbOf(call); aCdb[0] == SCSIOP_SET_CD_SPEED)
            aSetSpeeds.emplace_back(aCdb.begin(), aCdb.begin() + 4);
    EXPECT_THAT(aSetSpeeds,
                ElementsAre(ElementsAre(0xBB, 0, 0xFF, 0xFF), ElementsAre(0xBB, 0, 0xFF, 0xFF)));
}

TEST_F(PassThroughRequests, ModeSenseTenReadsIntoTheDataAreaAfterTheReservedSenseArea) {
    {
        auto lock = m_device.Lock();
        m_device.m_bModeSense10 = true;
        m_device.m_nLun = 1;
    }
    m_device.ModeSense(RQ_REFRESH_CAPS);
    const auto call = Sent().at(0);
    const auto header = HeaderOf(call);
    EXPECT_EQ(header.CdbLength, 10);
    EXPECT_EQ(header.DataIn, SCSI_IOCTL_DATA_IN);
    EXPECT_EQ(header.DataTransferLength, 128u);
    EXPECT_EQ(header.DataBufferOffset, H + 18);
    EXPECT_EQ(header.SenseInfoOffset, H);
    EXPECT_EQ(header.Lun, 1);
    EXPECT_THAT(CdbOf(call),
                ElementsAre(0x5A, 0x20, 0x2A, 0, 0, 0, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(call.nInSize, H);
    EXPECT_EQ(call.nOutSize, H + 18 + 128);
}

TEST_F(PassThroughRequests, ModeSenseSixByDefault) {
    m_device.ModeSense(RQ_REFRESH_CAPS);
    const auto call = Sent().at(0);
    EXPECT_EQ(HeaderOf(call).CdbLength, 6);
    EXPECT_THAT(CdbOf(call), ElementsAre(0x1A, 0, 0x2A, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0));
}

TEST_F(PassThroughRequests, InquiryGoesToTheAddressTheOsReportsAndMarksTheDriveUsable) {
    AnswerAddress(3, 5, 1);
    m_device.Inquiry();
    ASSERT_EQ(Sent(CTL_SCSI_GET_ADDRESS).size(), 1u);
    EXPECT_EQ(Sent(CTL_SCSI_GET_ADDRESS)[0].nOutSize, 8u);
    const auto call = Sent().at(0);
    const auto header = HeaderOf(call);
    EXPECT_EQ(header.PathId, 3);
    EXPECT_EQ(header.TargetId, 5);
    EXPECT_EQ(header.Lun, 1);
    EXPECT_EQ(header.CdbLength, 6);
    EXPECT_EQ(header.DataIn, SCSI_IOCTL_DATA_IN);
    EXPECT_EQ(header.DataTransferLength, 96u);
    EXPECT_EQ(header.DataBufferOffset, H);
    EXPECT_EQ(header.SenseInfoOffset, 0u);
    EXPECT_THAT(CdbOf(call), ElementsAre(0x12, 0x20, 0, 0, 0x60, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(call.nOutSize, H + 96);
    EXPECT_EQ(m_device.m_nHaId, 3);
    EXPECT_EQ(m_device.m_nTarget, 5);
}

TEST_F(PassThroughRequests, ARefusedAddressQueryStillSendsInquiryToPathZero) {
    m_drives.answer = [](DWORD dwCode, BYTE*, DWORD) { return dwCode != CTL_SCSI_GET_ADDRESS; };
    m_device.Inquiry();
    const auto header = HeaderOf(Sent().at(0));
    EXPECT_EQ(header.PathId, 0);
    EXPECT_EQ(header.TargetId, 0);
    EXPECT_EQ(header.Lun, 0);
}

TEST_F(PassThroughRequests, EachRequestOpensAndClosesTheDeviceOnce) {
    m_device.ModeSense(RQ_REFRESH_CAPS);
    EXPECT_THAT(m_drives.aOpened, ElementsAre("\\\\.\\E:"));
    EXPECT_EQ(m_drives.nOpenHandles, 0);
    EXPECT_EQ(m_device.m_hDevice, INVALID_DEVICE_HANDLE);
}

TEST_F(PassThroughRequests, AFailedIoControlCompletesWithCmdFailed) {
    m_drives.answer = [](DWORD, BYTE*, DWORD) { return false; };
    m_device.RefreshCapabilities(RQ_REFRESH_CAPS);
    EXPECT_THAT(m_events.Events(),
                ElementsAre(PostedEvent{RQ_REFRESH_CAPS, CMD_FAILED,
                                        reinterpret_cast<std::intptr_t>(&m_device)}));
}

TEST_F(PassThroughRequests, ANonZeroScsiStatusCompletesWithCmdFailedNeverCmdError) {
    m_drives.answer = [](DWORD, BYTE* pOut, DWORD) {
        pOut[offsetof(PASS_THROUGH_HEADER, ScsiStatus)] = 0x02;
        return true;
    };
    m_device.SetSpeed(8, RQ_SET_SPEED);
    EXPECT_EQ(m_events.Events().at(0),
              (PostedEvent{RQ_SET_SPEED, CMD_FAILED, reinterpret_cast<std::intptr_t>(&m_device)}));
}

TEST_F(PassThroughRequests, AnUnopenableDeviceFailsItsRequestsWithoutCallingTheDriver) {
    m_drives.openablePaths.clear();
    m_device.SetSpeed(8, RQ_SET_SPEED);
    ASSERT_FALSE(m_events.Events().empty());
    EXPECT_EQ(m_events.Events()[0].nStatus, CMD_FAILED);
}

class PassThroughProbe : public ::testing::Test {
protected:
    test::CScriptedDrives m_drives;
};

TEST_F(PassThroughProbe, SucceedsWhenCAnswersTheAddressQuery) {
    EXPECT_TRUE(CCDRomIOCTL::ProbePassThrough(m_drives));
    EXPECT_THAT(m_drives.aOpened, ElementsAre("\\\\.\\C:"));
    EXPECT_EQ(m_drives.nOpenHandles, 0);
}

TEST_F(PassThroughProbe, FailsWithoutTryingDWhenCOpensButRefusesTheQuery) {
    m_drives.openablePaths = {"\\\\.\\C:", "\\\\.\\D:"};
    m_drives.answer = [](DWORD, BYTE*, DWORD) { return false; };
    EXPECT_FALSE(CCDRomIOCTL::ProbePassThrough(m_drives));
    EXPECT_THAT(m_drives.aOpened, ElementsAre("\\\\.\\C:"));
    EXPECT_EQ(m_drives.nOpenHandles, 0);
}

TEST_F(PassThroughProbe, TriesDWhenCDoesNotOpen) {
    m_drives.openablePaths = {"\\\\.\\D:"};
    EXPECT_TRUE(CCDRomIOCTL::ProbePassThrough(m_drives));
    EXPECT_THAT(m_drives.aOpened, ElementsAre("\\\\.\\C:", "\\\\.\\D:"));
}

TEST_F(PassThroughProbe, FailsWhenNeitherOpens) {
    m_drives.openablePaths.clear();
    EXPECT_FALSE(CCDRomIOCTL::ProbePassThrough(m_drives));
    EXPECT_TRUE(m_drives.aCalls.empty());
}

} // namespace
} // namespace qv
