// Identification on the simulated machine: the chain INQUIRY then page 2Ah, the events it
// posts, how replies become members, and the switch to MODE SENSE(10).
#include "device/CDRomIOCTL.h"
#include "device/Scsi.h"
#include "tests/support/SimFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qv {
namespace {

using test::Cdrom;
using test::NtMachine;
using ::testing::ElementsAre;

class Identify : public ::testing::Test {
protected:
    void MakeMachine(sim::SimCdromConfig drive) {
        m_pFixture = std::make_unique<test::CSimFixture>(NtMachine({Cdrom("E:\\", drive)}));
        m_pDevice = std::make_unique<CCDRomIOCTL>(m_pFixture->Platform(), "E:\\");
    }
    std::vector<int> Events() const { return m_pFixture->Events().Codes(m_pDevice.get()); }
    int FirstStatus() const { return m_pFixture->Events().Events().at(0).nStatus; }
    std::vector<BYTE> Opcodes() const {
        std::vector<BYTE> aOpcodes;
        for (const auto& aCdb : m_pFixture->Machine().Drive('E')->Commands())
            aOpcodes.push_back(aCdb.at(0));
        return aOpcodes;
    }

    std::unique_ptr<test::CSimFixture> m_pFixture;
    std::unique_ptr<CCDRomIOCTL> m_pDevice;
};

TEST_F(Identify, ReadsInquiryThenThePageAndPostsIdentified) {
    sim::SimCdromConfig drive;
    drive.strVendor = "QRVX";
    drive.strProduct = "  CD-ROM 40X";
    drive.strRevision = "1.02";
    drive.strVendorInfo = "  rev B  ";
    drive.aSpeeds = {4, 8, 16, 24, 32, 40};
    drive.nCurrent = 24;
    drive.mapRates = {{24, 4234}};
    MakeMachine(drive);

    m_pDevice->Inquiry();

    EXPECT_THAT(Opcodes(), ElementsAre(SCSIOP_INQUIRY, SCSIOP_MODE_SENSE6));
    EXPECT_THAT(Events(), ElementsAre(RQ_IDENTIFIED));
    EXPECT_EQ(FirstStatus(), CMD_OK);
    EXPECT_TRUE(m_pDevice->m_bUsable);
    EXPECT_TRUE(m_pDevice->m_bRemovable);
    EXPECT_EQ(m_pDevice->m_strVendor, "QRVX");
    EXPECT_EQ(m_pDevice->m_strProduct, "  CD-ROM 40X");
    EXPECT_EQ(m_pDevice->m_strRevision, "1.02");
    EXPECT_EQ(m_pDevice->m_strVendorInfo, "rev B");
    EXPECT_EQ(m_pDevice->m_nMaxSpeed, 40);
    EXPECT_EQ(m_pDevice->m_nCurSpeed, 24);
    EXPECT_EQ(m_pDevice->m_nCurRate, 4234);
}

TEST_F(Identify, UsabilityFollowsTheAdditionalLengthNotTheFormatByte) {
    struct Case {
        int nByte3;
        int nAdditionalLength;
        bool bUsable;
    };
    // 02h is the format byte of many working drives; an additional length below 30 is too short.
    for (const Case c : {Case{0x02, 31, true}, Case{0x32, 30, true}, Case{0x32, 29, false}}) {
        SCOPED_TRACE(c.nAdditionalLength);
        sim::SimCdromConfig drive;
        drive.nInquiryByte3 = c.nByte3;
        drive.nAdditionalLength = c.nAdditionalLength;
        MakeMachine(drive);
        m_pDevice->Inquiry();
        EXPECT_EQ(m_pDevice->m_bUsable, c.bUsable);
        EXPECT_THAT(Events(), ElementsAre(RQ_IDENTIFIED));
    }
}

TEST_F(Identify, ARefusedInquiryLeavesTheDriveUnusableButStillReadsThePage) {
    sim::SimCdromConfig drive;
    drive.bInquiryFails = true;
    drive.nCurrent = 40;
    MakeMachine(drive);
    m_pDevice->Inquiry();
    EXPECT_FALSE(m_pDevice->m_bUsable);
    EXPECT_EQ(m_pDevice->m_strVendor, "");
    EXPECT_EQ(m_pDevice->m_nCurSpeed, 40);
    EXPECT_THAT(Events(), ElementsAre(RQ_IDENTIFIED));
}

// Many ATAPI drives know only the 10-byte mode commands: the sense data of the refused
// MODE SENSE(6) turn identification over to MODE SENSE(10) for good, on this transport as on
// ASPI, and the rejection posts no event.
TEST_F(Identify, ADriveWithoutModeSense6IsReadWithModeSense10) {
    sim::SimCdromConfig drive;
    drive.bModeSense6 = false;
    drive.nCurrent = 32;
    MakeMachine(drive);
    m_pDevice->Inquiry();
    EXPECT_THAT(Opcodes(), ElementsAre(SCSIOP_INQUIRY, SCSIOP_MODE_SENSE6, SCSIOP_MODE_SENSE10));
    EXPECT_THAT(Events(), ElementsAre(RQ_IDENTIFIED));
    EXPECT_EQ(FirstStatus(), CMD_OK);
    EXPECT_EQ(m_pDevice->m_nMaxSpeed, 40);
    EXPECT_EQ(m_pDevice->m_nCurSpeed, 32);

    m_pDevice->RefreshCapabilities(RQ_REFRESH_CAPS);
    EXPECT_EQ(Opcodes().back(), SCSIOP_MODE_SENSE10);
}

TEST_F(Identify, OtherSenseOrAnAlreadySwitchedDriveReportsTheFailedRead) {
    MakeMachine({});
    BYTE aSense[SENSE_SIZE] = {0x70, 0, SENSE_KEY_ILLEGAL_REQUEST};
    aSense[12] = ASC_INVALID_FIELD_IN_CDB;
    const BYTE aReply[MODE_SENSE_REPLY_SIZE] = {};
    m_pDevice->OnCommandComplete(RQ_IDENTIFY_CAPS, CMD_ERROR, aSense, aReply);
    m_pDevice->OnCommandComplete(RQ_IDENTIFY_CAPS, CMD_ERROR, {}, aReply);
    m_pDevice->m_bModeSense10 = true;
    aSense[12] = ASC_INVALID_OPCODE;
    m_pDevice->OnCommandComplete(RQ_IDENTIFY_CAPS, CMD_ERROR, aSense, aReply);
    EXPECT_THAT(Events(), ElementsAre(RQ_IDENTIFY_CAPS, RQ_IDENTIFY_CAPS, RQ_IDENTIFY_CAPS));
    EXPECT_TRUE(Opcodes().empty());
}

std::array<BYTE, 16> CapabilitiesPage(unsigned nMaxRate, unsigned nCurRate) {
    std::array<BYTE, 16> aPage{};
    WriteBigEndian16(&aPage[8], nMaxRate);
    WriteBigEndian16(&aPage[14], nCurRate);
    return aPage;
}

// Speeds are capped at 100x; a maximum above that is replaced by the current speed, and one
// below 1x is taken from the next page.
TEST(ParseCapabilities, KeepsSpeedsWithinWhatADriveCanRead) {
    test::CSimFixture fixture{{}};
    CCDRom device(fixture.Platform(), "E:\\");
    device.ParseCapabilities(CapabilitiesPage(20000, 7056));
    EXPECT_EQ(device.m_nMaxSpeed, 40);
    device.ParseCapabilities(CapabilitiesPage(7056, 30000));
    EXPECT_EQ(device.m_nCurSpeed, 100);
    EXPECT_EQ(device.m_nCurRate, 30000);

    CCDRom other(fixture.Platform(), "F:\\");
    other.ParseCapabilities(CapabilitiesPage(175, 0));
    EXPECT_EQ(other.m_nMaxSpeed, 0);
    other.ParseCapabilities(CapabilitiesPage(4224, 2816));
    EXPECT_EQ(other.m_nMaxSpeed, 24);
    other.ParseCapabilities(CapabilitiesPage(7040, 2816));
    EXPECT_EQ(other.m_nMaxSpeed, 24);
}

TEST(Dispatcher, RequestCodesThatAreNeverSentDoNothing) {
    test::CSimFixture fixture(NtMachine({Cdrom("E:\\")}));
    CCDRomIOCTL device(fixture.Platform(), "E:\\");
    BYTE aReply[MODE_SENSE_REPLY_SIZE] = {};
    aReply[4] = MODE_PAGE_CAPABILITIES;
    WriteBigEndian16(aReply + 4 + 14, 7040);
    for (int nRequest : std::initializer_list<int>{0, RQ_DETECT_DONE, 9, -1, 0x10000})
        device.OnCommandComplete(nRequest, CMD_OK, {}, aReply);
    EXPECT_TRUE(fixture.Events().Events().empty());
    EXPECT_TRUE(fixture.Machine().Drive('E')->Commands().empty());
    EXPECT_EQ(device.m_nCurRate, 0);
}

TEST(DeviceNames, TheDriveTextEndsAtTheColonAndTheDevicePathFollowsIt) {
    test::CSimFixture fixture{{}};
    EXPECT_EQ(CCDRom(fixture.Platform(), "E:\\").m_strDrive, "E:");
    EXPECT_EQ(CCDRom(fixture.Platform(), "CDROM").m_strDrive, "CDROM");
    EXPECT_EQ(CCDRom(fixture.Platform(), "").m_strDrive, "");
    EXPECT_EQ(CCDRom::MakeDevicePath("E:\\"), "\\\\.\\E:");
    EXPECT_EQ(CCDRom::MakeDevicePath("CDROM0"), "\\\\.\\CDROM0");
}

TEST(DeviceHandle, NestedOpensShareOneHandleThatTheOutermostCloseReleases) {
    test::CSimFixture fixture(NtMachine({Cdrom("E:\\")}));
    CCDRom device(fixture.Platform(), "E:\\");
    {
        CDeviceOpen outer(device);
        {
            CDeviceOpen inner(device);
            EXPECT_EQ(device.m_nOpenCount, 2);
        }
        EXPECT_NE(device.GetHandle(), INVALID_DEVICE_HANDLE);
    }
    EXPECT_EQ(device.GetHandle(), INVALID_DEVICE_HANDLE);
    EXPECT_EQ(fixture.Machine().OpenHandleCount(), 0);
    EXPECT_EQ(fixture.Machine().OpenedPaths().size(), 1u);
}

} // namespace
} // namespace qv
