// The chains of one drive, answered command by command: identification, the capabilities page,
// the keep-speed read, and replies no sane drive sends.
#include "device/CDRom.h"
#include "tests/support/ScriptedTransport.h"
#include "tests/support/SimFixture.h"

#include <gtest/gtest.h>

#include <tuple>

namespace qv::test {
namespace {

class ChainTest : public ::testing::Test {
protected:
    void Identify(int nSpeed = 40) {
        m_drive.Identify();
        m_transport.Locate();
        m_transport.Complete(CMD_OK, InquiryReply("QRVX", "CD-ROM", ""));
        m_transport.Complete(CMD_OK, PageReply(40 * 176, nSpeed * 176));
        m_sim.Events().Clear();
    }
    std::vector<int> Events() { return m_sim.Events().Codes(); }

    CSimFixture m_sim{NtMachine({})};
    CScriptedTransport m_transport;
    CCDRom m_drive{m_sim.Platform(), "E:\\", &m_transport};
};

TEST_F(ChainTest, IdentificationAsksTheAddressThenInquiryWithItsLunThenThePage) {
    m_drive.Identify();
    EXPECT_TRUE(m_drive.Snapshot().bIdentifying);
    m_transport.Locate({1, 2, 3});
    ASSERT_EQ(m_transport.Next(), RQ_INQUIRY);
    EXPECT_EQ(m_transport.waiting.front().command.cdb.bytes[1], 3 << 5);
    EXPECT_EQ(m_transport.waiting.front().target.nTarget, 2);
    m_transport.Complete(CMD_OK, InquiryReply("QRVX    ", "  CD-ROM 40X", "  rev B  "));
    ASSERT_EQ(m_transport.Next(), RQ_IDENTIFY_CAPS);
    m_transport.Complete(CMD_OK, PageReply(7040, 4234, false, 8));

    const DRIVE_STATE s = m_drive.Snapshot();
    EXPECT_EQ(Events(), std::vector<int>{RQ_IDENTIFIED});
    EXPECT_EQ(
        std::tie(s.bIdentifying, s.bUsable, s.bRemovable, s.nMaxSpeed, s.nCurSpeed, s.nCurRate),
        std::tuple(false, true, true, 40, 24, 4234));
    EXPECT_EQ(std::tie(s.strVendor, s.strProduct, s.strRevision, s.strVendorInfo),
              std::tuple("QRVX", "  CD-ROM 40X", "1.02", "rev B"));
}

// An additional length below 30 is too short for the identification strings; a reply cut short
// is read no further than it goes, and a refused INQUIRY reads like a cleared reply. Either way the
// page is still read.
TEST_F(ChainTest, UsabilityFollowsTheInquirysAdditionalLength) {
    const std::tuple<int, Bytes, bool> aCases[] = {{CMD_OK, InquiryReply("A", "B", "", 30), true},
                                                   {CMD_OK, InquiryReply("A", "B", "", 29), false},
                                                   {CMD_OK, Bytes(5, 0), false},
                                                   {CMD_FAILED, {}, false}};
    for (const auto& [nStatus, aReply, bUsable] : aCases) {
        m_drive.Identify();
        m_transport.Locate();
        m_transport.Complete(nStatus, aReply);
        m_transport.Complete(CMD_OK, PageReply(7040, 7040));
        EXPECT_EQ(m_drive.IsUsable(), bUsable);
        EXPECT_EQ(m_drive.Snapshot().nCurSpeed, 40);
    }
}

// Many ATAPI drives know only the 10-byte mode commands: the sense data of the refused
// MODE SENSE(6) turn the drive over to MODE SENSE(10) for good, and the refusal posts no event.
// Other sense data, or a refusal of MODE SENSE(10), end identification with RQ_IDENTIFY_CAPS.
TEST_F(ChainTest, ADriveWithoutModeSense6IsReadWithModeSense10) {
    BYTE aSense[SENSE_SIZE] = {0x70, 0, SENSE_KEY_ILLEGAL_REQUEST};
    const auto identify = [&](BYTE nAsc) {
        aSense[12] = nAsc;
        m_drive.Identify();
        m_transport.Locate();
        m_transport.Complete(CMD_OK, InquiryReply("A", "B", ""));
        m_transport.Complete(CMD_ERROR, Bytes(MODE_SENSE_REPLY_SIZE, 0), aSense);
    };
    identify(ASC_INVALID_FIELD_IN_CDB);
    EXPECT_EQ(Events(), std::vector<int>{RQ_IDENTIFY_CAPS});

    identify(ASC_INVALID_OPCODE);
    ASSERT_EQ(m_transport.Next(), RQ_IDENTIFIED);
    EXPECT_EQ(m_transport.waiting.front().command.cdb.bytes[0], SCSIOP_MODE_SENSE10);
    m_transport.Complete(CMD_OK, PageReply(7040, 5632, true));
    EXPECT_EQ(Events(), (std::vector<int>{RQ_IDENTIFY_CAPS, RQ_IDENTIFIED}));
    EXPECT_EQ(m_drive.Snapshot().nCurSpeed, 32);

    identify(ASC_INVALID_OPCODE);
    EXPECT_EQ(m_transport.sent.back().bytes[0], SCSIOP_MODE_SENSE10);
    EXPECT_EQ(m_transport.Next(), -1) << "switched once";
    EXPECT_EQ(Events().back(), RQ_IDENTIFY_CAPS);
}

// Speeds are capped at 100x; a maximum above that gives way to the current speed, one below 1x is
// taken from the next page. A reply whose header puts the page past the buffer, or that holds no
// page, parses as nothing: the event still announces the read, and the dialog refreshes from
// unchanged members.
TEST_F(ChainTest, ThePageKeepsSpeedsWithinWhatADriveCanRead) {
    Bytes aPastItsBuffer(MODE_SENSE_REPLY_SIZE, 0x40);
    aPastItsBuffer[3] = 0xFF;
    // The reply, then the maximum and current speed and whether the drive counts as answered.
    const std::tuple<Bytes, int, int, bool> aPages[] = {
        {aPastItsBuffer, 0, 0, false},
        {Bytes(MODE_SENSE_REPLY_SIZE - 113, 0), 0, 0, false},
        {PageReply(175, 0), 0, 0, true},
        {PageReply(20000, 7056), 40, 40, true},
        {PageReply(7040, 30000), 40, 100, true}};
    for (const auto& [aReply, nMaxSpeed, nCurSpeed, bAnswered] : aPages) {
        m_drive.RefreshCapabilities();
        m_transport.Complete(CMD_OK, aReply);
        const DRIVE_STATE s = m_drive.Snapshot();
        EXPECT_EQ(std::tuple(s.nMaxSpeed, s.nCurSpeed, s.bAnswered),
                  std::tuple(nMaxSpeed, nCurSpeed, bAnswered))
            << aReply.size() << " bytes, byte 3 " << static_cast<int>(aReply[3]);
    }
    EXPECT_EQ(Events(), (std::vector<int>(5, RQ_REFRESH_CAPS)));
}

TEST_F(ChainTest, ADetectionEndsWithTheStatusOfItsLastRead) {
    Identify();
    m_drive.DetectSpeeds();
    m_transport.Complete(CMD_OK);
    m_transport.Complete(CMD_FAILED);
    const PostedEvent first = m_sim.Events().Events().at(0);
    EXPECT_EQ(std::tie(first.nEvent, first.nStatus), std::tuple(RQ_DETECT_DONE, CMD_FAILED));
}

// A request that cannot even be handed over ends as one the drive refused, so its chain ends.
TEST_F(ChainTest, AChainWhoseSendThrowsHasEnded) {
    m_transport.bThrows = true;
    m_drive.Identify();
    EXPECT_TRUE(m_drive.WaitIdentified(std::chrono::steady_clock::now()));
    EXPECT_FALSE(m_drive.Snapshot().bBusy);
    EXPECT_EQ(Events(), std::vector<int>{RQ_IDENTIFY_CAPS});
}

TEST_F(ChainTest, KeepingASpeedReadsThePageAndSetsTheSpeedOnlyWhenTheDriveDrifted) {
    Identify(16);
    for (const int nReported : {16, 40, 0}) {
        const std::size_t nSent = m_transport.sent.size();
        m_drive.KeepSpeed(16);
        m_transport.Complete(CMD_OK, PageReply(7040, nReported * 176));
        if (m_transport.Next() == RQ_SET_SPEED) {
            m_transport.Complete(CMD_OK);
            m_transport.Complete(CMD_OK, PageReply(7040, 16 * 176));
        }
        EXPECT_EQ(m_transport.sent.size() - nSent, nReported == 40 ? 3u : 1u) << nReported;
    }
    EXPECT_EQ(SpeedAsked(m_transport.sent[4].bytes.data()), 16);
}

} // namespace
} // namespace qv::test
