// The speed field of a set-speed command, and the decoders that must never read past a reply.
#include "device/Scsi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>

namespace qv {
namespace {

TEST(CommandBlocks, ASpeedBeyondTheFieldAsksForTheMaximumInsteadOfWrapping) {
    EXPECT_EQ(RequestedRateForSpeed(370), 65490);
    EXPECT_EQ(RequestedRateForSpeed(371), SET_SPEED_MAXIMUM);
    EXPECT_EQ(RequestedRateForSpeed(0), SET_SPEED_MAXIMUM);
    EXPECT_EQ(RequestedRateForSpeed(-1), SET_SPEED_MAXIMUM);
}

TEST(InquiryText, StopsAtNulOrTheEndOfItsRangeAndDropsTrailingBlanksOnly) {
    BYTE aReply[INQUIRY_REPLY_SIZE];
    std::fill(std::begin(aReply), std::end(aReply), BYTE{'x'});
    std::memcpy(aReply + 8, "QRVX    ", 8);
    std::memcpy(aReply + 16, "  CD-ROM 40X\0ABC", 16);
    EXPECT_EQ(InquiryText(aReply, 8, 15), "QRVX");
    EXPECT_EQ(InquiryText(aReply, 16, 31), "  CD-ROM 40X");
    EXPECT_EQ(InquiryText(aReply, 32, 35), "xxxx");
    // A reply that ends inside a field, or before it, gives what it holds.
    EXPECT_EQ(InquiryText(ReplyBytes(aReply, 12), 8, 15), "QRVX");
    EXPECT_EQ(InquiryText(ReplyBytes(aReply, 8), 8, 15), "");
}

struct PageCase {
    bool bModeSense10;
    std::size_t nDescriptors;
    std::optional<std::size_t> nExpected;
};

class LocatePage : public ::testing::TestWithParam<PageCase> {};

TEST_P(LocatePage, FollowsTheHeaderAndRefusesPagesThatLeaveTheBuffer) {
    const auto& param = GetParam();
    BYTE aReply[MODE_SENSE_REPLY_SIZE];
    std::fill(std::begin(aReply), std::end(aReply), MODE_PAGE_CAPABILITIES);
    if (param.bModeSense10)
        WriteBigEndian16(aReply + 6, static_cast<unsigned>(param.nDescriptors));
    else
        aReply[3] = static_cast<BYTE>(param.nDescriptors);
    const auto page = LocateCapabilitiesPage(aReply, param.bModeSense10);
    ASSERT_EQ(page.has_value(), param.nExpected.has_value());
    if (page) {
        EXPECT_EQ(page->data() - aReply, static_cast<std::ptrdiff_t>(*param.nExpected));
    }
}

INSTANTIATE_TEST_SUITE_P(
    HeaderForms, LocatePage,
    ::testing::Values(PageCase{false, 0, 4}, PageCase{false, 8, 12}, PageCase{true, 0, 8},
                      PageCase{true, 8, 16},
                      // The last offset whose bytes 14-15 still lie inside 128 bytes.
                      PageCase{false, 108, 112}, PageCase{false, 109, std::nullopt},
                      PageCase{false, 255, std::nullopt}, PageCase{true, 104, 112},
                      PageCase{true, 105, std::nullopt}, PageCase{true, 0xFFFF, std::nullopt}));

TEST(LocatePage, AReplyShorterThanItsHeaderOrHoldingAnotherPageHasNone) {
    const BYTE aShort[3] = {};
    EXPECT_EQ(LocateCapabilitiesPage(aShort, false), std::nullopt);
    BYTE aReply[MODE_SENSE_REPLY_SIZE] = {};
    EXPECT_EQ(LocateCapabilitiesPage(aReply, false), std::nullopt) << "a cleared buffer";
    aReply[4] = 0x80 | MODE_PAGE_CAPABILITIES; // the page-saveable bit is not part of the code
    EXPECT_TRUE(LocateCapabilitiesPage(aReply, false));
    aReply[4] = 0x0E;
    EXPECT_EQ(LocateCapabilitiesPage(aReply, false), std::nullopt);
}

} // namespace
} // namespace qv
