#include "ui/TextToolBar.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qv::test {
namespace {

struct LabelCase {
    const char* pszResource;
    const char* pszLabel;
};

class ButtonLabelTest : public ::testing::TestWithParam<LabelCase> {};

TEST_P(ButtonLabelTest, IsTheTextAfterTheLastLineBreak) {
    EXPECT_EQ(ButtonLabel(GetParam().pszResource), GetParam().pszLabel);
}

INSTANTIATE_TEST_SUITE_P(Strings, ButtonLabelTest,
                         ::testing::Values(LabelCase{"Restore", "Restore"},
                                           LabelCase{"Apply the selected speed\nApply", "Apply"},
                                           LabelCase{"a\nb\nLock", "Lock"},
                                           LabelCase{"Eject\n", ""}, LabelCase{"", ""}));

TEST(CommonButtonSizeTest, IsTheLargestWidthAndTheLargestHeight) {
    EXPECT_EQ(CommonButtonSize({{56, 60}, {70, 58}, {56, 65}}), (BUTTON_SIZE{70, 65}));
    EXPECT_EQ(CommonButtonSize({{56, 60}, {-80, -62}}), (BUTTON_SIZE{80, 62}))
        << "a rectangle given the other way round";
    EXPECT_EQ(CommonButtonSize({}), (BUTTON_SIZE{0, 0}));
}

} // namespace
} // namespace qv::test
