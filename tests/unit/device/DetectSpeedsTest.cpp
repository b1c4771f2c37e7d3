// Speed detection on simulated drives: the list it finds, the commands it costs, the events it
// posts, and the rate shown for a speed.
#include "tests/support/SimDrive.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <tuple>

namespace qv::test {
namespace {

using ::testing::ElementsAre;

sim::SimCdromConfig Accepting(std::vector<int> aSpeeds, int nCurrent) {
    sim::SimCdromConfig drive;
    drive.aSpeeds = std::move(aSpeeds);
    drive.nCurrent = nCurrent;
    return drive;
}

// On either transport, with the events in the one order for both.
TEST(DetectSpeeds, StepsDownThroughEveryAcceptedSpeedAndReturnsToTheFormerOne) {
    for (const bool bAspi : {false, true}) {
        SCOPED_TRACE(bAspi ? "ASPI" : "pass-through");
        sim::SimCdromConfig config = Accepting({4, 8, 16, 24, 32, 40}, 24);
        config.mapRates = {{24, 4234}, {40, 7100}};
        CSimDrive drive(config, bAspi);
        // The window may act on an event at once: no device handle is open as one goes out.
        int nOpenAtEvents = 0;
        drive.m_sim.Events().onPost = [&] {
            nOpenAtEvents += drive.m_sim.Machine().OpenHandleCount();
        };
        drive.Identified().DetectSpeeds();
        drive.Settle();
        EXPECT_EQ(nOpenAtEvents, 0);

        EXPECT_THAT(drive.m_pDrive->GetSpeeds(),
                    ElementsAre(SPEED_ENTRY{4, 704}, SPEED_ENTRY{8, 1408}, SPEED_ENTRY{16, 2816},
                                SPEED_ENTRY{24, 4234}, SPEED_ENTRY{32, 5632},
                                SPEED_ENTRY{40, 7100}));
        // The rate shown for a speed: the current rate (for 0 too), the detected one, 176 per x.
        const auto rate = [&](int nSpeed) { return drive.m_pDrive->GetRateForSpeed(nSpeed); };
        EXPECT_THAT((std::vector{rate(24), rate(0), rate(40), rate(12)}),
                    ElementsAre(4234, 4234, 7100, 2112));
        EXPECT_THAT(drive.RequestedSpeeds(), ElementsAre(0, 39, 31, 23, 15, 7, 3, 2, 1, 24));
        // Two commands per step, then the final set-speed and the read behind it.
        EXPECT_EQ(drive.Sim().Commands().size(), 9u * 2 + 2);
        EXPECT_THAT(drive.m_sim.Events().Codes(),
                    ElementsAre(RQ_DETECT_DONE, RQ_SET_SPEED, RQ_REFRESH_CAPS));
        EXPECT_EQ(drive.Sim().CurrentSpeed(), 24);
        EXPECT_EQ(drive.m_pDrive->Snapshot().nSelSpeed, 24);
    }
}

TEST(DetectSpeeds, DrivesThatKeepOneSpeedGetOneEntryAndNoFinalSetSpeed) {
    // The speeds accepted, how SET CD SPEED is taken, whether the drive always reports 0x; the one
    // entry detected.
    using Case = std::tuple<const char*, std::vector<int>, sim::SetSpeedMode, bool, SPEED_ENTRY>;
    const Case aCases[] = {
        {"at its only speed", {24}, sim::SetSpeedMode::Accept, false, {24, 4224}},
        {"rejects set speed", {8, 16}, sim::SetSpeedMode::Reject, false, {16, 2816}},
        {"always reports 0", {4, 8, 16, 24, 32, 40}, sim::SetSpeedMode::Accept, true, {0, 0}},
    };
    for (const auto& [pszWhat, aAccepted, setSpeed, bAlwaysReportsZero, entry] : aCases) {
        SCOPED_TRACE(pszWhat);
        sim::SimCdromConfig config = Accepting(aAccepted, aAccepted.back());
        config.setSpeed = setSpeed;
        config.bAlwaysReportsZero = bAlwaysReportsZero;
        CSimDrive drive(config);
        drive.Identified().DetectSpeeds();
        drive.Settle();
        EXPECT_THAT(drive.m_pDrive->GetSpeeds(), ElementsAre(entry));
        EXPECT_THAT(drive.m_sim.Events().Codes(), ElementsAre(RQ_DETECT_DONE));
    }
}

// One chain at a time: what is asked for meanwhile waits its turn, in order; a detection asked
// for while one runs or waits is answered by that one.
TEST(DetectSpeeds, OperationsAskedForDuringAChainWaitTheirTurn) {
    CSimDrive drive(Accepting({4, 8, 12, 16, 20, 24, 28, 32, 36, 40}, 40));
    CCDRom& cdrom = drive.Identified();
    drive.Sim().Hold();
    cdrom.DetectSpeeds();
    cdrom.SetSpeed(16);
    cdrom.DetectSpeeds();
    cdrom.RefreshCapabilities();
    EXPECT_TRUE(cdrom.Snapshot().bBusy);
    drive.Sim().Release();
    drive.Settle();
    EXPECT_EQ(std::tuple(cdrom.Snapshot().bBusy, cdrom.GetSpeeds().size()), std::tuple(false, 10u));
    EXPECT_THAT(drive.m_sim.Events().Codes(),
                ElementsAre(RQ_DETECT_DONE, RQ_SET_SPEED, RQ_REFRESH_CAPS, RQ_SET_SPEED,
                            RQ_REFRESH_CAPS, RQ_REFRESH_CAPS));
    EXPECT_EQ(cdrom.Snapshot().nSelSpeed, 16) << "what the drive reports after the Apply";
}

} // namespace
} // namespace qv::test
