// The pass-through request blocks byte for byte, their completion, and the transport probe.
#include "device/CDRomIOCTL.h"
#include "tests/support/ScriptedDrives.h"
#include "tests/support/SimFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>

namespace qv {
namespace {

using test::IoControlCall;
using test::PostedEvent;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

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

// Every header field of a request sent to path 3, target 5, LUN 1, and the buffer sizes.
struct ExpectedRequest {
    const char* pszWhat;
    BYTE nCdbLength;
    BYTE nDataIn;
    DWORD nTransfer;
    std::size_t nDataOffset;
    std::size_t nSenseOffset;
    std::vector<BYTE> aCdb; // all 16 bytes
    std::size_t nOutSize;
};

void ExpectRequest(const IoControlCall& call, const ExpectedRequest& expected) {
    SCOPED_TRACE(expected.pszWhat);
    PASS_THROUGH_HEADER header;
    std::memcpy(&header, call.aInput.data(), sizeof header);
    EXPECT_EQ(header.Length, H);
    EXPECT_EQ(header.ScsiStatus, 0);
    EXPECT_EQ(header.PathId, 3);
    EXPECT_EQ(header.TargetId, 5);
    EXPECT_EQ(header.Lun, 1);
    EXPECT_EQ(header.CdbLength, expected.nCdbLength);
    EXPECT_EQ(header.SenseInfoLength, 0);
    EXPECT_EQ(header.DataIn, expected.nDataIn);
    EXPECT_EQ(header.DataTransferLength, expected.nTransfer);
    EXPECT_EQ(header.TimeOutValue, 20u);
    EXPECT_EQ(header.DataBufferOffset, expected.nDataOffset);
    EXPECT_EQ(header.SenseInfoOffset, expected.nSenseOffset);
    EXPECT_THAT(header.Cdb, ElementsAreArray(expected.aCdb));
    EXPECT_EQ(call.nInSize, H);
    EXPECT_EQ(call.nOutSize, expected.nOutSize);
}

TEST_F(PassThroughRequests, RequestsAreBuiltByteForByteForTheAddressTheOsReports) {
    AnswerAddress(3, 5, 1);
    m_device.Inquiry();
    ASSERT_EQ(Sent(CTL_SCSI_GET_ADDRESS).size(), 1u);
    EXPECT_EQ(Sent(CTL_SCSI_GET_ADDRESS)[0].nOutSize, 8u);
    ExpectRequest(Sent().at(0), {"INQUIRY",
                                 6,
                                 SCSI_IOCTL_DATA_IN,
                                 96,
                                 H,
                                 0,
                                 {0x12, 0x20, 0, 0, 0x60, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                                 H + 96});
    EXPECT_EQ(m_device.m_nHaId, 3);
    EXPECT_EQ(m_device.m_nTarget, 5);

    const auto SetSpeed = [](const char* pszWhat, int nSpeed, BYTE nHigh, BYTE nLow) {
        return std::pair{[=](CCDRomIOCTL& device) { device.SetSpeed(nSpeed, RQ_SET_SPEED); },
                         ExpectedRequest{pszWhat,
                                         12,
                                         SCSI_IOCTL_DATA_UNSPECIFIED,
                                         0,
                                         0,
                                         0,
                                         {0xBB, 0, nHigh, nLow, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                                         H}};
    };
    const auto ModeSense = [](bool bModeSense10) {
        return [=](CCDRomIOCTL& device) {
            {
                auto lock = device.Lock();
                device.m_bModeSense10 = bModeSense10;
            }
            device.ModeSense(RQ_REFRESH_CAPS);
        };
    };
    const std::vector<std::pair<std::function<void(CCDRomIOCTL&)>, ExpectedRequest>> aRequests{
        {ModeSense(false),
         {"MODE SENSE(6)",
          6,
          SCSI_IOCTL_DATA_IN,
          128,
          H + 18,
          H,
          {0x1A, 0x20, 0x2A, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
          H + 18 + 128}},
        {ModeSense(true),
         {"MODE SENSE(10)",
          10,
          SCSI_IOCTL_DATA_IN,
          128,
          H + 18,
          H,
          {0x5A, 0x20, 0x2A, 0, 0, 0, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0},
          H + 18 + 128}},
        SetSpeed("set speed 8", 8, 0x05, 0x88),
        SetSpeed("set speed 48", 48, 0x21, 0x30),
        SetSpeed("set speed 0", 0, 0xFF, 0xFF),
        SetSpeed("set speed -1", -1, 0xFF, 0xFF),
    };
    for (const auto& [send, expected] : aRequests) {
        m_drives.aCalls.clear();
        send(m_device);
        ExpectRequest(Sent().at(0), expected);
    }
}

TEST_F(PassThroughRequests, ARefusedAddressQueryStillSendsInquiryToPathZero) {
    m_drives.answer = [](DWORD dwCode, BYTE*, DWORD) { return dwCode != CTL_SCSI_GET_ADDRESS; };
    m_device.Inquiry();
    const auto header = HeaderOf(Sent().at(0));
    EXPECT_EQ(header.CdbLength, 6);
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

TEST(PassThroughProbe, OpensCThenDAndStopsAtTheFirstThatOpens) {
    struct Case {
        const char* pszWhat;
        std::set<std::string> openable;
        bool bAnswers;
        bool bAvailable;
        std::vector<std::string> aOpened;
    };
    const Case aCases[] = {
        {"C: answers", {"\\\\.\\C:"}, true, true, {"\\\\.\\C:"}},
        {"C: opens but refuses the query", {"\\\\.\\C:", "\\\\.\\D:"}, false, false, {"\\\\.\\C:"}},
        {"C: does not open", {"\\\\.\\D:"}, true, true, {"\\\\.\\C:", "\\\\.\\D:"}},
        {"neither opens", {}, true, false, {"\\\\.\\C:", "\\\\.\\D:"}},
    };
    for (const Case& c : aCases) {
        SCOPED_TRACE(c.pszWhat);
        test::CScriptedDrives drives;
        drives.openablePaths = c.openable;
        drives.answer = [&](DWORD, BYTE*, DWORD) { return c.bAnswers; };
        EXPECT_EQ(CCDRomIOCTL::ProbePassThrough(drives), c.bAvailable);
        EXPECT_EQ(drives.aOpened, c.aOpened);
        EXPECT_EQ(drives.nOpenHandles, 0);
        EXPECT_EQ(drives.aCalls.size(), c.openable.empty() ? 0u : 1u);
    }
}

} // namespace
} // namespace qv
