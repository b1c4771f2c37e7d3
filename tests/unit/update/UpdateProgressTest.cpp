#include "update/UpdateProgress.h"

#include <gtest/gtest.h>

#include <vector>

namespace qv {
namespace {

// The bar's position after each tick, index 0 being the opening, and the tick that no longer
// sets the timer again.
TEST(UpdateProgressTest, FillsOverAMinuteThenStopsItsTimer) {
    CUpdateProgress progress;
    std::vector<int> aPositions = {progress.Position()};
    int nTick = 1;
    for (; nTick <= 400 && progress.Tick(); ++nTick)
        aPositions.push_back(progress.Position());

    EXPECT_EQ(nTick, 300);
    ASSERT_EQ(aPositions.size(), 300u);
    EXPECT_EQ(aPositions[0], 3);
    EXPECT_EQ(aPositions[1], 6);
    EXPECT_EQ(aPositions[149], 512);
    EXPECT_EQ(aPositions[298], 1020);
    EXPECT_EQ(aPositions[299], 1024);
    EXPECT_EQ(progress.Position(), CUpdateProgress::RANGE);
}

} // namespace
} // namespace qv
