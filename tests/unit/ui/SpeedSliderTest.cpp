#include "ui/SpeedSlider.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace qv::test {
namespace {

// A 1..40 slider whose channel runs from x 10 to x 205, 5 pixels a speed, with the ticks of a
// drive that detected 4, 8, 16, 24 and 32 in the order the dialog sets them, fastest first.
SLIDER_GEOMETRY DriveSlider(int nThumbPos) {
    SLIDER_GEOMETRY geometry;
    geometry.nMin = 1;
    geometry.nMax = 40;
    geometry.channel = {10, 20, 205, 24};
    const int xThumb = 10 + (nThumbPos - 1) * 5;
    geometry.thumb = {xThumb - 5, 10, xThumb + 5, 34};
    for (const int nSpeed : {32, 24, 16, 8, 4})
        geometry.aTicks.push_back({10 + (nSpeed - 1) * 5, nSpeed});
    return geometry;
}

// A 0..100 pixel channel for ties: ticks at the given x, each valued by its x / 10.
SLIDER_GEOMETRY PlainSlider(std::vector<int> aTickX) {
    SLIDER_GEOMETRY geometry;
    geometry.nMin = 1;
    geometry.nMax = 99;
    geometry.channel = {0, 20, 100, 24};
    for (const int x : aTickX)
        geometry.aTicks.push_back({x, x / 10});
    return geometry;
}

TEST(SnapToTickTest, GivesAnEndOrTheNearestTick) {
    struct Case {
        const char* pszWhat;
        SLIDER_GEOMETRY geometry;
        int x;
        int nExpected;
    };
    const Case aCases[] = {
        {"an end and a tick equally near: the end", PlainSlider({20}), 10, 1},
        {"the same at the right end", PlainSlider({80}), 90, 99},
        {"two ticks equally near: the later one", PlainSlider({40, 60}), 50, 6},
        {"the same, ticks set the other way", PlainSlider({60, 40}), 50, 4},
        {"no ticks yet, nearer the right", PlainSlider({}), 51, 99},
        {"no ticks yet, in the middle", PlainSlider({}), 50, 1},
    };
    for (const Case& c : aCases)
        EXPECT_EQ(SnapToTick(c.x, c.geometry), c.nExpected) << c.pszWhat;
}

auto Fields(const SLIDER_ACTION& action) {
    return std::tuple(action.bDefault, action.nNewPos, action.nNotifyCode);
}

TEST(SliderPressTest, JumpsToASpeedBesideTheThumbAndLeavesTheRestToTheTrackbar) {
    struct Case {
        const char* pszWhat;
        int nCurPos;
        int x;
        int y;
        SLIDER_ACTION expected;
    };
    const Case aCases[] = {
        {"right of the thumb", 1, 121, 22, {false, 24, SLIDER_PAGE_DOWN}},
        {"left of the thumb", 24, 30, 22, {false, 4, SLIDER_PAGE_UP}},
        {"above the channel, level with the thumb", 1, 121, 12, {false, 24, SLIDER_PAGE_DOWN}},
        {"onto the current position: nothing at all", 24, 110, 22, {}},
        {"on the thumb", 24, 125, 30, {true, {}, {}}},
        {"outside both", 1, 121, 40, {true, {}, {}}},
    };
    for (const Case& c : aCases)
        EXPECT_EQ(
            Fields(CSpeedSliderMouse().OnLButtonDown(c.x, c.y, c.nCurPos, DriveSlider(c.nCurPos))),
            Fields(c.expected))
            << c.pszWhat;
}

// Only a drag that began on the thumb moves it, and only while the button is down.
TEST(SliderDragTest, ReportsEachTickAndEndOnceWhileTheThumbIsDragged) {
    CSpeedSliderMouse mouse;
    const SLIDER_GEOMETRY geometry = DriveSlider(1);
    EXPECT_EQ(Fields(mouse.OnMouseMove(121, true, geometry)), Fields({}));
    mouse.OnLButtonDown(121, 22, 1, geometry);
    EXPECT_EQ(Fields(mouse.OnMouseMove(30, true, geometry)), Fields({}));
    EXPECT_EQ(Fields(mouse.OnLButtonDown(10, 22, 1, geometry)), Fields({true, {}, {}}));
    EXPECT_EQ(Fields(mouse.OnMouseMove(121, false, geometry)), Fields({}));

    std::vector<int> aReported;
    for (int x = 0; x <= 220; ++x) {
        const SLIDER_ACTION action = mouse.OnMouseMove(x, true, geometry);
        EXPECT_FALSE(action.bDefault) << "the trackbar never sees a move";
        if (action.nNewPos) {
            EXPECT_EQ(action.nNotifyCode, SLIDER_THUMB_TRACK);
            aReported.push_back(*action.nNewPos);
        }
    }
    EXPECT_EQ(aReported, (std::vector<int>{4, 8, 16, 24, 32, 40}));

    EXPECT_EQ(Fields(mouse.OnLButtonUp()), Fields({true, {}, {}}));
    EXPECT_EQ(Fields(mouse.OnMouseMove(30, true, geometry)), Fields({}));
}

} // namespace
} // namespace qv::test
