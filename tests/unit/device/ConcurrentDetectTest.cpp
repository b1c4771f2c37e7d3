// Two threads detecting the speeds of one drive at once: pass-through runs each chain on its
// sending thread, so both chains write the same members and share the device's handle.
#include "device/CDRomIOCTL.h"
#include "tests/support/SimFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace qv {
namespace {

TEST(ConcurrentDetection, TwoThreadsDetectingOneDriveLeaveAWholeListAndNoOpenHandle) {
    sim::SimCdromConfig drive;
    drive.aSpeeds = {4, 8, 16, 24, 32, 40};
    drive.nCurrent = 40;
    test::CSimFixture fixture(test::NtMachine({test::Cdrom("E:\\", drive)}));
    CCDRomIOCTL device(fixture.Platform(), "E:\\");

    std::thread other([&] { device.DetectSpeeds(); });
    device.DetectSpeeds();
    other.join();

    for (const auto& entry : device.GetSpeeds()) {
        EXPECT_THAT(drive.aSpeeds, ::testing::Contains(entry.nSpeed));
        EXPECT_EQ(entry.nRate, entry.nSpeed * 176);
    }
    const auto aCodes = fixture.Events().Codes();
    EXPECT_EQ(std::count(aCodes.begin(), aCodes.end(), RQ_DETECT_DONE), 2);
    EXPECT_EQ(fixture.Machine().OpenHandleCount(), 0);
}

} // namespace
} // namespace qv
