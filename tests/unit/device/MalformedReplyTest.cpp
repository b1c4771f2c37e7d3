// Replies no sane drive sends: random bytes, block descriptor lengths that point past the
// buffer, short transfers. Each buffer is allocated at its exact size, so a read past its end
// is caught by AddressSanitizer.
#include "device/CDRomIOCTL.h"
#include "device/Scsi.h"
#include "tests/support/SimFixture.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

namespace qv {
namespace {

std::unique_ptr<BYTE[]> RandomBuffer(std::mt19937& random, std::size_t nSize) {
    auto pBuffer = std::make_unique<BYTE[]>(nSize);
    for (std::size_t i = 0; i < nSize; ++i)
        pBuffer[i] = static_cast<BYTE>(random());
    return pBuffer;
}

class MalformedReplies : public ::testing::Test {
protected:
    test::CSimFixture m_fixture{{}};
    CCDRom m_device{m_fixture.Platform(), "E:\\"};
};

TEST_F(MalformedReplies, RandomRepliesKeepEveryMemberInItsRange) {
    std::mt19937 random(20261206);
    for (int nRound = 0; nRound < 5000; ++nRound) {
        const int nRequest = static_cast<int>(random() % 9);
        const int nStatus = static_cast<int>(random() % 3);
        // Short replies too: every decoder stays inside the bytes it is given.
        const std::size_t nSense = random() % (SENSE_SIZE + 1);
        const std::size_t nData = random() % (INQUIRY_REPLY_SIZE + MODE_SENSE_REPLY_SIZE);
        const auto pSense = RandomBuffer(random, nSense);
        auto pData = RandomBuffer(random, nData);
        if (nData > 20 && random() % 2)
            pData[4 + pData[3] % 16] = MODE_PAGE_CAPABILITIES;
        if (random() % 4 == 0)
            m_device.m_bModeSense10 = !m_device.m_bModeSense10;
        m_device.OnCommandComplete(nRequest, nStatus, {pSense.get(), nSense}, {pData.get(), nData});

        ASSERT_LE(m_device.m_nCurSpeed, 100);
        ASSERT_GE(m_device.m_nCurSpeed, 0);
        ASSERT_LE(m_device.m_nMaxSpeed, 100);
        ASSERT_LE(m_device.m_strVendor.size(), 8u);
        ASSERT_LE(m_device.m_strProduct.size(), 16u);
        ASSERT_LE(m_device.m_strRevision.size(), 4u);
        ASSERT_LE(m_device.m_strVendorInfo.size(), 20u);
        for (const auto& entry : m_device.GetSpeeds())
            ASSERT_LE(entry.nSpeed, 100);
    }
}

TEST_F(MalformedReplies, ADescriptorLengthPastTheBufferLeavesThePageUnparsed) {
    auto pReply = std::make_unique<BYTE[]>(MODE_SENSE_REPLY_SIZE);
    std::fill_n(pReply.get(), MODE_SENSE_REPLY_SIZE, BYTE{0x40});
    pReply[3] = 0xFF;
    const ReplyBytes reply(pReply.get(), MODE_SENSE_REPLY_SIZE);
    m_device.OnCommandComplete(RQ_REFRESH_CAPS, CMD_OK, {}, reply);
    m_device.m_bModeSense10 = true;
    WriteBigEndian16(pReply.get() + 6, 0xFFFF);
    m_device.OnCommandComplete(RQ_IDENTIFIED, CMD_OK, {}, reply);

    EXPECT_EQ(m_device.m_nCurRate, 0);
    EXPECT_EQ(m_device.m_nMaxSpeed, 0);
    // The events still announce the read: the dialog refreshes from unchanged members.
    EXPECT_EQ(m_fixture.Events().Codes(), (std::vector<int>{RQ_REFRESH_CAPS, RQ_IDENTIFIED}));
}

// An unreadable page in the middle of a detection records no speed: the probe steps on below.
TEST_F(MalformedReplies, ADetectionStepOnAnUnparsedPageRecordsNothing) {
    const BYTE aCleared[MODE_SENSE_REPLY_SIZE] = {};
    m_device.m_nCurSpeed = 16;
    m_device.m_nCurRate = 2816;
    m_device.m_nProbeSpeed = 16;
    m_device.OnCommandComplete(RQ_DETECT_CAPS, CMD_OK, {}, aCleared);
    EXPECT_TRUE(m_device.GetSpeeds().empty());
    EXPECT_EQ(m_device.m_nProbeSpeed, 15);
}

TEST_F(MalformedReplies, AMissingDataBufferIsAFailedInquiry) {
    m_device.m_bUsable = true;
    m_device.OnCommandComplete(RQ_INQUIRY, CMD_FAILED, {}, {});
    m_device.OnCommandComplete(RQ_REFRESH_CAPS, CMD_FAILED, {}, {});
    EXPECT_FALSE(m_device.m_bUsable);
    EXPECT_EQ(m_fixture.Events().Codes(), (std::vector<int>{RQ_REFRESH_CAPS}));
}

} // namespace
} // namespace qv
