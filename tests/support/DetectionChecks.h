// What detection must leave however many were asked for at once: one whole list, strictly
// ascending, the drive back at the speed it ran at before, and one end announced for each
// detection that ran.
#pragma once

#include "device/CDRom.h"
#include "sim/SimMmcDrive.h"
#include "tests/support/RecordingEvents.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace qv::test {

inline void ExpectOneWholeDetection(const CCDRom& device, const sim::CSimMmcDrive& drive,
                                    const std::vector<int>& aAccepted, int nFormerSpeed,
                                    const CRecordingEvents& events, int nDetections = 1) {
    std::vector<int> aDetected;
    for (const SPEED_ENTRY& entry : device.GetSpeeds())
        aDetected.push_back(entry.nSpeed);
    EXPECT_EQ(aDetected, aAccepted);
    EXPECT_EQ(drive.CurrentSpeed(), nFormerSpeed);
    EXPECT_EQ(device.Snapshot().nSelSpeed, nFormerSpeed);
    EXPECT_FALSE(device.Snapshot().bDetecting);
    const auto aCodes = events.Codes(&device);
    EXPECT_EQ(std::count(aCodes.begin(), aCodes.end(), RQ_DETECT_DONE), nDetections);
}

} // namespace qv::test
