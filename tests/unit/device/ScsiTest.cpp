// Command blocks byte for byte, and the decoders that must never read past a reply.
#include "device/Scsi.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

namespace qv {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

std::vector<BYTE> Bytes(const Cdb& cdb) {
    return {cdb.bytes.begin(), cdb.bytes.begin() + cdb.nLength};
}

TEST(CommandBlocks, InquiryAsksFor96BytesWithTheLunInByteOne) {
    EXPECT_THAT(Bytes(MakeInquiryCdb(0)), ElementsAre(0x12, 0, 0, 0, 0x60, 0));
    EXPECT_THAT(Bytes(MakeInquiryCdb(3)), ElementsAre(0x12, 0x60, 0, 0, 0x60, 0));
}

TEST(CommandBlocks, ModeSenseReadsTheCapabilitiesPageInBothForms) {
    EXPECT_THAT(Bytes(MakeModeSense6Cdb(1)), ElementsAre(0x1A, 0x20, 0x2A, 0, 0x80, 0));
    EXPECT_THAT(Bytes(MakeModeSense10Cdb(2)),
                ElementsAre(0x5A, 0x40, 0x2A, 0, 0, 0, 0, 0x00, 0x80, 0));
}

TEST(CommandBlocks, SetSpeedSends177KbPerXOrFfffForTheMaximum) {
    const std::vector<BYTE> aMaximum{0xBB, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_THAT(Bytes(MakeSetSpeedCdb(0)), ElementsAreArray(aMaximum));
    EXPECT_THAT(Bytes(MakeSetSpeedCdb(-1)), ElementsAreArray(aMaximum));
    EXPECT_THAT(Bytes(MakeSetSpeedCdb(8)),
                ElementsAre(0xBB, 0, 0x05, 0x88, 0, 0, 0, 0, 0, 0, 0, 0));
    EXPECT_THAT(Bytes(MakeSetSpeedCdb(48)),
                ElementsAre(0xBB, 0, 0x21, 0x30, 0, 0, 0, 0, 0, 0, 0, 0));
}

TEST(CommandBlocks, ASpeedBeyondTheFieldAsksForTheMaximumInsteadOfWrapping) {
    EXPECT_EQ(RequestedRateForSpeed(370), 65490);
    EXPECT_EQ(RequestedRateForSpeed(1000), SET_SPEED_MAXIMUM);
}

TEST(InquiryText, StopsAtNulAndDropsTrailingBlanksOnly) {
    BYTE aReply[INQUIRY_REPLY_SIZE] = {};
    std::memcpy(aReply + 8, "QRVX    ", 8);
    std::memcpy(aReply + 16, "  CD-ROM 40X\0ABC", 16);
    EXPECT_EQ(InquiryText(aReply, 8, 15), "QRVX");
    EXPECT_EQ(InquiryText(aReply, 16, 31), "  CD-ROM 40X");
}

TEST(InquiryText, AFieldWithoutNulEndsAtItsRange) {
    BYTE aReply[INQUIRY_REPLY_SIZE];
    std::fill(std::begin(aReply), std::end(aReply), BYTE{'x'});
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
