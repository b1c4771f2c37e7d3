// The speed field of a set-speed command, and the decoders that must never read past a reply.
#include "device/Scsi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>

namespace qv {
namespace {

// The command blocks themselves are checked byte for byte where they are sent (PassThroughTest,
// AspiRequestTest).

TEST(CommandBlocks, ASpeedBeyondTheFieldAsksForTheMaximumInsteadOfWrapping) {
    EXPECT_EQ(RequestedRateForSpeed(370), 65490);
    EXPECT_EQ(RequestedRateForSpeed(1000), SET_SPEED_MAXIMUM);
}

TEST(InquiryText, StopsAtNulOrTheEndOfItsRangeAndDropsTrailingBlanksOnly) {
    BYTE aReply[INQUIRY_REPLY_SIZE];
    std::fill(std::begin(aReply), std::end(aReply), BYTE{'x'});
    std::memcpy(aReply + 8, "QRVX    ", 8);
    std::memcpy(aReply + 16, "  CD-ROM 40X\0ABC", 16);
    EXPECT_EQ(InquiryText(aReply, 8, 15), "QRVX");
    EXPECT_EQ(InquiryText(aReply, 16, 31), "  CD-ROM 40X");
    EXPECT_EQ(InquiryText(aReply, 32, 35), "xxxx");
}

struct PageCase {
    bool bModeSense10;
    std::size_t nDescriptors;
    std::optional<std::size_t> nExpected;
};

class LocatePage : public ::testing::TestWithParam<PageCase> {};

TEST_P(LocatePage, FollowsTheHeaderAndRefusesPagesThatLeaveTheBuffer) {
    const auto& param = GetParam();
    BYTE aReply[MODE_SENSE_REPLY_SIZE] = {};
    if (param.bModeSense10)
        WriteBigEndian16(aReply + 6, static_cast<unsigned>(param.nDescriptors));
    else
        aReply[3] = static_cast<BYTE>(param.nDescriptors);
    EXPECT_EQ(LocateCapabilitiesPage(aReply, sizeof aReply, param.bModeSense10), param.nExpected);
}

INSTANTIATE_TEST_SUITE_P(
    HeaderForms, LocatePage,
    ::testing::Values(PageCase{false, 0, 4}, PageCase{false, 8, 12}, PageCase{true, 0, 8},
                      PageCase{true, 8, 16},
                      // The last offset whose bytes 14-15 still lie inside 128 bytes.
                      PageCase{false, 108, 112}, PageCase{false, 109, std::nullopt},
                      PageCase{false, 255, std::nullopt}, PageCase{true, 104, 112},
                      PageCase{true, 105, std::nullopt}, PageCase{true, 0xFFFF, std::nullopt}));

TEST(LocatePage, AReplyShorterThanItsHeaderHasNoPage) {
    const BYTE aReply[3] = {};
    EXPECT_EQ(LocateCapabilitiesPage(aReply, sizeof aReply, false), std::nullopt);
}

} // namespace
} // namespace qv
