// The pass-through transport: its request blocks byte for byte, what a completion reports, the
// thread that carries each drive's requests, and the probe that chooses it.
#include "device/PassThrough.h"
#include "device/PassThroughTransport.h"
#include "tests/support/ScriptedDrives.h"
#include "tests/support/SimDrive.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <tuple>

namespace qv::test {
namespace {

using ::testing::ElementsAreArray;

constexpr DWORD H = PT_HEADER_SIZE;

// The request, the status, and the sizes of the sense data and reply a completion hands on.
using Completed = std::tuple<int, int, std::size_t, std::size_t>;

// Stands in for a device: keeps what its link reports. The transport's idle wait orders what the
// link's thread wrote before what the test reads.
struct CRecordingSink : CCommandSink {
    void OnCommandComplete(int nRequest, int nStatus, ReplyBytes sense, ReplyBytes reply) override {
        completed = {nRequest, nStatus, sense.size(), reply.size()};
    }
    void OnLocated(SCSI_TARGET target) override { aLocated.push_back(target); }
    Completed completed;
    std::vector<SCSI_TARGET> aLocated;
};

class PassThroughRequests : public ::testing::Test {
protected:
    Completed Send(const COMMAND& command) {
        m_sink.completed = {-1, -1, 0, 0};
        m_pLink->Send({3, 5, 1}, command);
        EXPECT_TRUE(m_transport.WaitIdle(THREAD_WAIT_LIMIT));
        return m_sink.completed;
    }

    CScriptedDrives m_drives;
    CPassThroughTransport m_transport{m_drives};
    CRecordingSink m_sink;
    std::unique_ptr<CDriveLink> m_pLink = m_transport.Connect("E:", m_sink);
};

// Every header field of a request sent to path 3, target 5, LUN 1, and the buffer sizes: a block
// that asks for sense data keeps an 18-byte area before its data and two spare bytes after.
TEST_F(PassThroughRequests, BlocksAreBuiltByteForByteAroundTheCommand) {
    constexpr BYTE IN = SCSI_IOCTL_DATA_IN;
    constexpr BYTE NONE = SCSI_IOCTL_DATA_UNSPECIFIED;
    // The command, then the direction and the offsets and output size its block must have.
    const std::tuple<const char*, COMMAND, BYTE, std::size_t, std::size_t, DWORD> aRequests[] = {
        {"INQUIRY", {2, MakeInquiryCdb(1), 96, false}, IN, H, 0, H + 96},
        {"MODE SENSE(6)", {4, MakeModeSense6Cdb(1), 128, true}, IN, H + 18, H, H + 18 + 128},
        {"MODE SENSE(10)", {4, MakeModeSense10Cdb(1), 128, true}, IN, H + 18, H, H + 18 + 128},
        {"SET CD SPEED", {5, MakeSetSpeedCdb(8), 0, false}, NONE, 0, 0, H},
    };
    for (const auto& [pszWhat, command, nDataIn, nDataOffset, nSenseOffset, nOutSize] : aRequests) {
        SCOPED_TRACE(pszWhat);
        Send(command);
        PASS_THROUGH_HEADER header;
        std::memcpy(&header, m_drives.aCalls.back().aInput.data(), sizeof header);
        EXPECT_EQ(std::tie(header.Length, header.ScsiStatus, header.PathId, header.TargetId,
                           header.Lun, header.CdbLength, header.SenseInfoLength, header.DataIn),
                  std::tuple(H, 0, 3, 5, 1, command.cdb.nLength, nSenseOffset ? 18 : 0, nDataIn));
        EXPECT_EQ(std::tie(header.DataTransferLength, header.TimeOutValue, header.DataBufferOffset,
                           header.SenseInfoOffset),
                  std::tuple(command.nReplyLength, 20u, nDataOffset, nSenseOffset));
        EXPECT_THAT(header.Cdb, ElementsAreArray(command.cdb.bytes));
        EXPECT_EQ(std::tuple(m_drives.aCalls.back().aInput.size(), m_drives.aCalls.back().nOutSize),
                  std::tuple(H, nOutSize));
    }
    EXPECT_EQ(m_drives.aOpened, std::vector<std::string>(4, "\\\\.\\E:"));
    EXPECT_EQ(m_drives.nOpenHandles, 0);
}

// Only a CHECK CONDITION that carries sense data is CMD_ERROR; a block the OS refused never
// reached the drive, and hands on no reply.
TEST_F(PassThroughRequests, ACompletionReportsWhatTheDriveAndTheOsSaid) {
    // Whether the OS delivered the block, the SCSI status and SenseInfoLength it writes back; the
    // status reported, and the sizes of the sense data and reply handed on.
    const std::tuple<const char*, bool, BYTE, BYTE, int, std::size_t, std::size_t> aCases[] = {
        {"good", true, SCSISTAT_GOOD, 0, CMD_OK, 0, 128},
        {"check condition with sense", true, SCSISTAT_CHECK_CONDITION, 18, CMD_ERROR, 18, 128},
        {"check condition without sense", true, SCSISTAT_CHECK_CONDITION, 0, CMD_FAILED, 0, 128},
        {"busy", true, 0x08, 18, CMD_FAILED, 0, 128},
        {"refused by the OS", false, SCSISTAT_GOOD, 0, CMD_FAILED, 0, 0},
    };
    for (const auto& [pszWhat, bDelivered, nScsiStatus, nSenseReturned, nExpected, nSense, nReply] :
         aCases) {
        SCOPED_TRACE(pszWhat);
        // Bound names are captured by their values, as older compilers require.
        m_drives.answer = [nStatus = nScsiStatus, nLength = nSenseReturned,
                           bOk = bDelivered](DWORD, BYTE* pOut, DWORD) {
            pOut[offsetof(PASS_THROUGH_HEADER, ScsiStatus)] = nStatus;
            pOut[offsetof(PASS_THROUGH_HEADER, SenseInfoLength)] = nLength;
            return bOk;
        };
        EXPECT_EQ(Send({4, MakeModeSense6Cdb(0), 128, true}),
                  Completed(4, nExpected, nSense, nReply));
    }
}

TEST_F(PassThroughRequests, TheAddressComesFromTheQueryOrIsZeroWhenItIsRefused) {
    for (const bool bAnswers : {true, false}) {
        m_drives.answer = [bAnswers](DWORD dwCode, BYTE* pOut, DWORD) {
            const SCSI_ADDRESS_RECORD address{8, 2, 3, 5, 1};
            if (dwCode == CTL_SCSI_GET_ADDRESS && bAnswers)
                std::memcpy(pOut, &address, sizeof address);
            return bAnswers;
        };
        m_pLink->Locate();
        EXPECT_TRUE(m_transport.WaitIdle(THREAD_WAIT_LIMIT));
    }
    ASSERT_EQ(m_sink.aLocated.size(), 2u);
    EXPECT_EQ(std::tie(m_sink.aLocated[0].nTarget, m_sink.aLocated[0].nLun,
                       m_sink.aLocated[1].nTarget, m_drives.aCalls.at(0).nOutSize),
              std::tuple(5, 1, 0, 8u));
}

// A drive that does not answer holds only its own thread: the link and the drive go at once, and
// the answer that comes later reaches nobody.
TEST(PassThroughThreads, ALinkThatGoesWhileItsDriveHoldsACommandDoesNotWaitForIt) {
    CSimDrive drive({});
    drive.Sim().Hold();
    drive.m_pDrive->Identify();
    drive.m_pDrive->DetectSpeeds();
    ASSERT_TRUE(Eventually([&] { return drive.Sim().IsHolding(); }));
    EXPECT_TRUE(drive.m_pDrive->Snapshot().bBusy);
    EXPECT_FALSE(drive.m_pTransport->WaitIdle(std::chrono::milliseconds(0)));
    drive.m_pDrive.reset();
    drive.Sim().Release();
    EXPECT_TRUE(drive.m_pTransport->WaitIdle(THREAD_WAIT_LIMIT));
    EXPECT_TRUE(drive.m_sim.Events().Events().empty());
}

// The probe asks C:, then D: when C: does not open, for its address, on a handle for no data.
// A system volume on a RAID or virtual disk need not answer; on the NT family a CD-ROM drive whose
// own volume answers still gets pass-through.
TEST(PassThroughProbe, AsksTheSystemVolumeThenFallsBackToTheCdromVolumesOnTheNtFamilyOnly) {
    // Whether C: opens and answers, the family; whether pass-through is taken, the paths opened.
    const std::tuple<bool, bool, sim::SimPlatform, bool, std::vector<std::string>> aCases[] = {
        {true, true, sim::SimPlatform::Nt, true, {"\\\\.\\C:"}},
        {true, false, sim::SimPlatform::Nt, true, {"\\\\.\\C:", "\\\\.\\E:"}},
        {false, true, sim::SimPlatform::Nt, true, {"\\\\.\\C:", "\\\\.\\D:", "\\\\.\\E:"}},
        {true, true, sim::SimPlatform::Win9x, false, {"\\\\.\\C:", "\\\\.\\D:"}},
    };
    for (const auto& [bSystemOpens, bSystemAnswers, platform, bAvailable, aOpened] : aCases) {
        sim::SimMachineConfig machine = NtMachine({Cdrom("E:\\")});
        machine.aDrives[0].bOpens = bSystemOpens;
        machine.aDrives[0].bAnswersAddress = bSystemAnswers;
        machine.platform = platform;
        CSimFixture fixture(machine);
        EXPECT_EQ(CPassThroughTransport::Probe(fixture.Platform()), bAvailable);
        EXPECT_EQ(fixture.Machine().OpenedPaths(), aOpened);
        EXPECT_EQ(fixture.Machine().OpenHandleCount(), 0);
    }
    EXPECT_EQ(MakeDevicePath("E:\\"), "\\\\.\\E:");
    EXPECT_EQ(MakeDevicePath("CDROM0"), "\\\\.\\CDROM0");
}

} // namespace
} // namespace qv::test
