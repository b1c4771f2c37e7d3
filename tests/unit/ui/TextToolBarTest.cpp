#include "ui/TextToolBar.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

TEST(ButtonLabelTest, IsTheTextAfterTheLastLineBreak) {
    EXPECT_EQ(ButtonLabel("Restore"), "Restore");
    EXPECT_EQ(ButtonLabel("a\nb\nLock"), "Lock");
    EXPECT_EQ(ButtonLabel("Eject\n"), "");
}

TEST(CommonButtonSizeTest, IsTheLargestWidthAndTheLargestHeight) {
    EXPECT_EQ(CommonButtonSize({{56, 60}, {70, 58}, {56, 65}}), (BUTTON_SIZE{70, 65}));
    EXPECT_EQ(CommonButtonSize({{56, 60}, {-80, -62}}), (BUTTON_SIZE{80, 62}))
        << "a rectangle given the other way round";
    EXPECT_EQ(CommonButtonSize({}), (BUTTON_SIZE{0, 0}));
}

} // namespace
} // namespace qv::test
