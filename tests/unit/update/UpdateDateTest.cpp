#include "update/UpdateDate.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

namespace qv {
namespace {

struct ParseCase {
    std::string strText;
    std::optional<CalendarDate> date;
    friend void PrintTo(const ParseCase& test, std::ostream* pOut) { *pOut << test.strText; }
};

class ParseUpdateDateTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseUpdateDateTest, ReadsTheDateAtTheStartOrNone) {
    EXPECT_EQ(ParseUpdateDate(GetParam().strText), GetParam().date);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseUpdateDateTest,
    ::testing::Values(ParseCase{"12/15/02 Quorvex 4.3 is out", CalendarDate{2002, 12, 15}},
                      ParseCase{"01/10/03", CalendarDate{2003, 1, 10}},
                      ParseCase{"00/00/05", CalendarDate{2005, 0, 0}},
                      ParseCase{"12/31/68", CalendarDate{2068, 12, 31}},
                      ParseCase{"01/01/69", CalendarDate{1969, 1, 1}},
                      ParseCase{"07/04/99", CalendarDate{1999, 7, 4}},
                      ParseCase{"13/01/02", std::nullopt}, ParseCase{"12/32/02", std::nullopt},
                      ParseCase{"12/01/00", std::nullopt}, ParseCase{"12-01-02", std::nullopt},
                      ParseCase{"1/1/02 x", std::nullopt}, ParseCase{"12/1a/02", std::nullopt},
                      ParseCase{"12/15/0", std::nullopt}, ParseCase{"", std::nullopt},
                      ParseCase{"<html><head>", std::nullopt},
                      ParseCase{" 12/15/02", std::nullopt}));

struct OrderCase {
    const char* pszPublished;
    const char* pszReported;
    bool bNewer;
    friend void PrintTo(const OrderCase& test, std::ostream* pOut) {
        *pOut << test.pszPublished << " after " << test.pszReported;
    }
};

class UpdateDateOrderTest : public ::testing::TestWithParam<OrderCase> {};

// Year first, then month, then day; as texts January would come before the December it follows.
TEST_P(UpdateDateOrderTest, OrdersAsDates) {
    const auto published = ParseUpdateDate(GetParam().pszPublished);
    const auto reported = ParseUpdateDate(GetParam().pszReported);
    ASSERT_TRUE(published && reported);
    EXPECT_EQ(*published > *reported, GetParam().bNewer);
}

INSTANTIATE_TEST_SUITE_P(Pairs, UpdateDateOrderTest,
                         ::testing::Values(OrderCase{"12/15/02", "11/30/02", true},
                                           OrderCase{"01/10/03", "12/15/02", true},
                                           OrderCase{"12/20/01", "11/30/02", false},
                                           OrderCase{"12/15/02", "12/15/02", false},
                                           OrderCase{"12/16/02", "12/15/02", true},
                                           OrderCase{"12/31/99", "01/01/01", false},
                                           OrderCase{"01/01/01", "12/31/99", true},
                                           OrderCase{"01/01/69", "12/31/68", false}));

// The day of slack for time zones ends at the ends of months and years, and on leap days.
TEST(DayAfterTest, CrossesMonthsYearsAndLeapDays) {
    EXPECT_EQ(DayAfter({2026, 12, 31}), (CalendarDate{2027, 1, 1}));
    EXPECT_EQ(DayAfter({2028, 2, 28}), (CalendarDate{2028, 2, 29}));
    EXPECT_EQ(DayAfter({2027, 2, 28}), (CalendarDate{2027, 3, 1}));
    EXPECT_EQ(DayAfter({2027, 4, 30}), (CalendarDate{2027, 5, 1}));
}

TEST(FormatUpdateDateTest, WritesTwoDigitsForEachPart) {
    EXPECT_EQ(FormatUpdateDate({2026, 3, 7}), "03/07/26");
    EXPECT_EQ(FormatUpdateDate({1999, 12, 31}), "12/31/99");
    EXPECT_EQ(FormatUpdateDate({2000, 1, 1}), "01/01/00");
}

} // namespace
} // namespace qv
