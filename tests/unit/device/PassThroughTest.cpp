// The pass-through request blocks byte for byte, their completion, and the transport probe.
#include "device/CDRomIOCTL.h"
#include "tests/support/ScriptedDrives.h"
#include "tests/support/SimFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
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
    std::vector<BYTE> aCdb; // its first bytes; the rest of the 16 are 0
    std::size_t nOutSize;
};

void ExpectRequest(const IoControlCall& call, ExpectedRequest expected) {
    SCOPED_TRACE(expected.pszWhat);
    PASS_THROUGH_HEADER header;
    std::memcpy(&header, call.aInput.data(), sizeof header);
    EXPECT_EQ(header.Length, H);
    EXPECT_EQ(header.ScsiStatus, 0);
    EXPECT_EQ(header.PathId, 3);
    EXPECT_EQ(header.TargetId, 5);
    EXPECT_EQ(header.Lun, 1);
    EXPECT_EQ(header.CdbLength, expected.nCdbLength);
    // Only the blocks that reserve a sense area ask for sense data.
    EXPECT_EQ(header.SenseInfoLength, expected.nSenseOffset ? 18 : 0);
    EXPECT_EQ(header.DataIn, expected.nDataIn);
    EXPECT_EQ(header.DataTransferLength, expected.nTransfer);
    EXPECT_EQ(header.TimeOutValue, 20u);
    EXPECT_EQ(header.DataBufferOffset, expected.nDataOffset);
    EXPECT_EQ(header.SenseInfoOffset, expected.nSenseOffset);
    expected.aCdb.resize(sizeof header.Cdb);
    EXPECT_THAT(header.Cdb, ElementsAreArray(expected.aCdb));
    EXPECT_EQ(call.nInSize, H);
    EXPECT_EQ(call.nOutSize, expected.nOutSize);
}

TEST_F(PassThroughRequests, RequestsAreBuiltByteForByteForTheAddressTheOsReports) {
    AnswerAddress(3, 5, 1);
    m_device.Inquiry();
    ASSERT_EQ(Sent(CTL_SCSI_GET_ADDRESS).size(), 1u);
    EXPECT_EQ(Sent(CTL_SCSI_GET_ADDRESS)[0].nOutSize, 8u);
    ExpectRequest(Sent().at(0),
                  {"INQUIRY", 6, SCSI_IOCTL_DATA_IN, 96, H, 0, {0x12, 0x20, 0, 0, 0x60}, H + 96});
    EXPECT_EQ(m_device.m_nHaId, 3);
    EXPECT_EQ(m_device.m_nTarget, 5);

    constexpr BYTE IN = SCSI_IOCTL_DATA_IN;
    constexpr BYTE NONE = SCSI_IOCTL_DATA_UNSPECIFIED;
    // A MODE SENSE block: the header, an 18-byte sense area, then the data.
    constexpr std::size_t D = H + 18;
    constexpr std::size_t MS_OUT = D + 128;
    const std::pair<std::function<void()>, ExpectedRequest> aRequests[] = {
        {[&] { m_device.ModeSense(RQ_REFRESH_CAPS); },
         {"MODE SENSE(6)", 6, IN, 128, D, H, {0x1A, 0x20, 0x2A, 0, 0x80}, MS_OUT}},
        {[&] { m_device.SetSpeed(8, RQ_SET_SPEED); },
         {"set speed 8", 12, NONE, 0, 0, 0, {0xBB, 0, 0x05, 0x88}, H}},
        {[&] { m_device.SetSpeed(0, RQ_SET_SPEED); },
         {"set speed 0", 12, NONE, 0, 0, 0, {0xBB, 0, 0xFF, 0xFF}, H}},
        {[&] {
             m_device.m_bModeSense10 = true;
             m_device.ModeSense(RQ_REFRESH_CAPS);
         },
         {"MODE SENSE(10)", 10, IN, 128, D, H, {0x5A, 0x20, 0x2A, 0, 0, 0, 0, 0, 0x80}, MS_OUT}},
    };
    for (const auto& [send, expected] : aRequests) {
        m_drives.aCalls.clear();
        send();
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

// A refused I/O control leaves the zeroed data area, which is no reply: the drive's speeds stay
// as they were, and a detection goes on past a transient failure instead of recording 0x.
TEST_F(PassThroughRequests, AnUndeliveredReadChangesNothingAndFailsItsEvent) {
    m_device.m_nCurSpeed = 24;
    m_device.m_nCurRate = 4234;
    m_drives.answer = [](DWORD, BYTE*, DWORD) { return false; };
    m_device.RefreshCapabilities(RQ_REFRESH_CAPS);
    EXPECT_THAT(m_events.Events(),
                ElementsAre(PostedEvent{RQ_REFRESH_CAPS, CMD_FAILED,
                                        reinterpret_cast<std::intptr_t>(&m_device)}));
    EXPECT_EQ(m_device.m_nCurSpeed, 24);
    EXPECT_EQ(m_device.m_nCurRate, 4234);
}

struct StatusCase {
    const char* pszWhat;
    BYTE nScsiStatus;
    BYTE nSenseReturned; // SenseInfoLength the OS writes back
    int nExpected;
};

TEST_F(PassThroughRequests, OnlyACheckConditionThatCarriesSenseIsACmdError) {
    const StatusCase aCases[] = {
        {"good", SCSISTAT_GOOD, 0, CMD_OK},
        {"check condition with sense", SCSISTAT_CHECK_CONDITION, 18, CMD_ERROR},
        {"check condition without sense", SCSISTAT_CHECK_CONDITION, 0, CMD_FAILED},
        {"busy", 0x08, 18, CMD_FAILED},
    };
    for (const StatusCase& c : aCases) {
        SCOPED_TRACE(c.pszWhat);
        m_events.Clear();
        m_drives.answer = [&c](DWORD, BYTE* pOut, DWORD) {
            pOut[offsetof(PASS_THROUGH_HEADER, ScsiStatus)] = c.nScsiStatus;
            pOut[offsetof(PASS_THROUGH_HEADER, SenseInfoLength)] = c.nSenseReturned;
            return true;
        };
        m_device.RefreshCapabilities(RQ_REFRESH_CAPS);
        EXPECT_EQ(m_events.Events().at(0).nStatus, c.nExpected);
    }
}

// Threads share the device's handle: an open that failed is no open, or its close would close
// the handle another thread opened and is using.
TEST_F(PassThroughRequests, OnlyOpensThatSucceededAreCounted) {
    m_drives.openablePaths.clear();
    std::optional<CDeviceOpen> failed(std::in_place, m_device);
    m_drives.openablePaths = {"\\\\.\\E:"};
    CDeviceOpen opened(m_device);
    failed.reset(); // the thread whose open failed leaves first
    EXPECT_NE(m_device.GetHandle(), INVALID_DEVICE_HANDLE);
    EXPECT_EQ(m_drives.nOpenHandles, 1);
}

// Nothing outside the device can take its lock, so no caller can hold it into an accessor.
template <typename Device>
concept ExposesItsLock = requires(const Device& device) {
    device.Lock();
};
static_assert(!ExposesItsLock<CCDRom>);

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
        test::CSimFixture fixture({});
        EXPECT_EQ(CCDRomIOCTL::ProbePassThrough(fixture.WithDrives(drives)), c.bAvailable);
        EXPECT_EQ(drives.aOpened, c.aOpened);
        EXPECT_EQ(drives.nOpenHandles, 0);
        EXPECT_EQ(drives.aCalls.size(), c.openable.empty() ? 0u : 1u);
    }
}

// A system volume on a RAID or virtual disk need not answer the address query; on the NT family
// a CD-ROM drive whose own volume answers still gets pass-through.
TEST(PassThroughProbe, FallsBackToTheCdromVolumesOnTheNtFamilyOnly) {
    for (const bool bNt : {true, false}) {
        SCOPED_TRACE(bNt ? "NT" : "95/98");
        sim::SimMachineConfig machine = test::NtMachine({test::Cdrom("E:\\")});
        machine.aDrives[0].bAnswersAddress = false;
        if (!bNt)
            machine.platform = sim::SimPlatform::Win9x;
        test::CSimFixture fixture(machine);
        EXPECT_EQ(CCDRomIOCTL::ProbePassThrough(fixture.Platform()), bNt);
        EXPECT_EQ(fixture.Machine().OpenedPaths().back() == "\\\\.\\E:", bNt)
            << "only the NT family tries the drive's own volume";
    }
}

} // namespace
} // namespace qv
