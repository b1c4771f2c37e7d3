// Speed detection over pass-through on simulated drives: the list it finds, the commands it
// costs, the events it posts, and the rate shown for a speed.
#include "device/CDRomIOCTL.h"
#include "device/Scsi.h"
#include "tests/support/DetectionChecks.h"
#include "tests/support/SimFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

namespace qv {
namespace {

using test::Cdrom;
using test::NtMachine;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

class DetectSpeeds : public ::testing::Test {
protected:
    void MakeDrive(sim::SimCdromConfig drive) {
        m_pFixture = std::make_unique<test::CSimFixture>(NtMachine({Cdrom("E:\\", drive)}));
        m_pDevice = std::make_unique<CCDRomIOCTL>(m_pFixture->Platform(), "E:\\");
        m_pDevice->Inquiry();
        Drive().ClearCommands();
        m_pFixture->Events().Clear();
    }
    sim::CSimMmcDrive& Drive() { return *m_pFixture->Machine().Drive('E'); }
    std::vector<int> Events() const { return m_pFixture->Events().Codes(); }
    // The speed in x that each set-speed command asked for; 0 for the maximum.
    std::vector<int> RequestedSpeeds() {
        std::vector<int> aSpeeds;
        for (const auto& aCdb : Drive().Commands())
            if (aCdb[0] == SCSIOP_SET_CD_SPEED) {
                const int nRate = ReadBigEndian16(&aCdb[2]);
                aSpeeds.push_back(nRate == SET_SPEED_MAXIMUM ? 0 : nRate / KBPS_PER_X_REQUESTED);
            }
        return aSpeeds;
    }

    std::unique_ptr<test::CSimFixture> m_pFixture;
    std::unique_ptr<CCDRomIOCTL> m_pDevice;
};

TEST_F(DetectSpeeds, StepsDownThroughEveryAcceptedSpeedAndReturnsToTheFormerOne) {
    sim::SimCdromConfig drive;
    drive.aSpeeds = {4, 8, 16, 24, 32, 40};
    drive.nCurrent = 24;
    drive.mapRates = {{24, 4234}};
    MakeDrive(drive);

    m_pDevice->DetectSpeeds();

    EXPECT_THAT(m_pDevice->GetSpeeds(),
                ElementsAre(SPEED_ENTRY{4, 704}, SPEED_ENTRY{8, 1408}, SPEED_ENTRY{16, 2816},
                            SPEED_ENTRY{24, 4234}, SPEED_ENTRY{32, 5632}, SPEED_ENTRY{40, 7040}));
    EXPECT_THAT(RequestedSpeeds(), ElementsAre(0, 39, 31, 23, 15, 7, 3, 2, 1, 24));
    // Two commands per step, then the final set-speed and the refresh behind it.
    EXPECT_EQ(Drive().Commands().size(), 9u * 2 + 2);
    EXPECT_THAT(Events(), ElementsAre(RQ_SET_SPEED, RQ_REFRESH_CAPS, RQ_DETECT_DONE));
    EXPECT_EQ(Drive().CurrentSpeed(), 24);
    EXPECT_EQ(m_pDevice->m_nSelSpeed, 24);
    EXPECT_EQ(m_pDevice->m_nCurSpeed, 24);
}

TEST_F(DetectSpeeds, DrivesThatKeepOneSpeedGetOneEntryAndNoFinalSetSpeed) {
    struct Case {
        const char* pszWhat;
        std::vector<int> aAccepted;
        sim::SetSpeedMode setSpeed;
        bool bAlwaysReportsZero;
        SPEED_ENTRY entry;
        std::vector<int> aRequested; // empty: not checked
    };
    std::vector<int> aMaximumThenDown(24); // the maximum, then 23 down to 1
    std::iota(aMaximumThenDown.rbegin(), aMaximumThenDown.rend() - 1, 1);
    const Case aCases[] = {
        {"at its only speed", {24}, sim::SetSpeedMode::Accept, false, {24, 4224}, aMaximumThenDown},
        {"ignores set speed", {8, 16, 32}, sim::SetSpeedMode::Ignore, false, {32, 5632}, {}},
        {"rejects set speed", {8, 16}, sim::SetSpeedMode::Reject, false, {16, 2816}, {}},
        {"always reports 0", {4, 8, 16, 24, 32, 40}, sim::SetSpeedMode::Accept, true, {0, 0}, {0}},
    };
    for (const Case& c : aCases) {
        SCOPED_TRACE(c.pszWhat);
        sim::SimCdromConfig drive;
        drive.aSpeeds = c.aAccepted;
        drive.nCurrent = c.aAccepted.back();
        drive.setSpeed = c.setSpeed;
        drive.bAlwaysReportsZero = c.bAlwaysReportsZero;
        MakeDrive(drive);
        m_pDevice->DetectSpeeds();
        EXPECT_THAT(m_pDevice->GetSpeeds(), ElementsAre(c.entry));
        EXPECT_THAT(Events(), ElementsAre(RQ_DETECT_DONE));
        if (!c.aRequested.empty()) {
            EXPECT_EQ(RequestedSpeeds(), c.aRequested);
        }
    }
}

TEST_F(DetectSpeeds, AReportEqualToTheRequestIsRecordedAndTheNextRequestIsOneBelow) {
    sim::SimCdromConfig drive;
    drive.aSpeeds = {10, 20, 21};
    drive.nCurrent = 21;
    MakeDrive(drive);
    m_pDevice->DetectSpeeds();
    EXPECT_THAT(RequestedSpeeds(), ElementsAre(0, 20, 19, 9, 8, 7, 6, 5, 4, 3, 2, 1, 21));
    EXPECT_EQ(m_pDevice->GetSpeeds().size(), 3u);
}

TEST_F(DetectSpeeds, AHundredStepsRunNestedInsideTheFirstSendingCall) {
    sim::SimCdromConfig drive;
    drive.aSpeeds.resize(100);
    std::iota(drive.aSpeeds.begin(), drive.aSpeeds.end(), 1);
    drive.nCurrent = 50;
    MakeDrive(drive);
    m_pDevice->DetectSpeeds();
    const auto aSpeeds = m_pDevice->GetSpeeds();
    ASSERT_EQ(aSpeeds.size(), 100u);
    EXPECT_EQ(aSpeeds.front(), (SPEED_ENTRY{1, 176}));
    EXPECT_EQ(aSpeeds.back(), (SPEED_ENTRY{100, 17600}));
    EXPECT_EQ(Drive().Commands().size(), 100u * 2 + 2);
    EXPECT_EQ(Drive().CurrentSpeed(), 50);
}

// A drive service that starts a second detection on the same device from inside the first
// one's chain, so that the two chains interleave.
class CReenteringDrives : public sim::CSimMachine {
public:
    using sim::CSimMachine::CSimMachine;
    bool DeviceIoControl(DeviceHandle hDevice, DWORD dwCode, void* pIn, DWORD nInSize, void* pOut,
                         DWORD nOutSize, DWORD* pnReturned) override {
        const bool bResult = sim::CSimMachine::DeviceIoControl(hDevice, dwCode, pIn, nInSize, pOut,
                                                               nOutSize, pnReturned);
        if (dwCode == CTL_SCSI_PASS_THROUGH && ++m_nCalls == 7 && pDevice)
            pDevice->DetectSpeeds();
        return bResult;
    }
    CCDRom* pDevice = nullptr;

private:
    int m_nCalls = 0;
};

TEST(DetectSpeedsTwice, ASecondDetectionInsideTheFirstIsAnsweredByTheFirst) {
    sim::SimCdromConfig drive;
    drive.aSpeeds = {4, 8, 16, 24, 32, 40};
    drive.nCurrent = 24;
    CReenteringDrives machine(NtMachine({Cdrom("E:\\", drive)}));
    test::CSimFixture fixture{{}};
    const CPlatform platform = fixture.WithDrives(machine);
    CCDRomIOCTL device(platform, "E:\\");
    device.Inquiry();
    machine.pDevice = &device;

    device.DetectSpeeds();

    test::ExpectOneWholeDetection(device, *machine.Drive('E'), drive.aSpeeds, 24, fixture.Events());
}

class RateForSpeed : public DetectSpeeds {};

TEST_F(RateForSpeed, PrefersTheCurrentRateThenTheDetectedOneThen176PerX) {
    sim::SimCdromConfig drive;
    drive.aSpeeds = {8, 24, 40};
    drive.nCurrent = 40;
    drive.mapRates = {{24, 4234}, {40, 7100}};
    MakeDrive(drive);
    m_pDevice->DetectSpeeds();
    EXPECT_EQ(m_pDevice->GetRateForSpeed(24), 4234);
    EXPECT_EQ(m_pDevice->GetRateForSpeed(0), 7100);
    EXPECT_EQ(m_pDevice->GetRateForSpeed(40), 7100);
    EXPECT_EQ(m_pDevice->GetRateForSpeed(12), 2112);
}

} // namespace
} // namespace qv
