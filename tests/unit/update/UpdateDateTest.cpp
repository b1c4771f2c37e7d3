#include "update/UpdateDate.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

namespace qv {
namespace {

TEST(ParseUpdateDateTest, ReadsTwoDigitsEachAtTheStartWithTheYearAsPosixReadsIt) {
    const std::pair<std::string, std::optional<CalendarDate>> aCases[] = {
        {"12/15/02 Quorvex 4.3 is out", CalendarDate{2002, 12, 15}},
        {"00/00/05", CalendarDate{2005, 0, 0}},
        {"12/31/68", CalendarDate{2068, 12, 31}},
        {"01/01/69", CalendarDate{1969, 1, 1}},
        {"13/01/02", std::nullopt},
        {"12/32/02", std::nullopt},
        {"12/01/00", std::nullopt},
        {"12-01-02", std::nullopt},
        {"1/1/02 x", std::nullopt},
        {"12/1a/02", std::nullopt},
        {"12/15/0", std::nullopt},
        {"", std::nullopt},
        {" 12/15/02", std::nullopt},
    };
    for (const auto& [strText, date] : aCases)
        EXPECT_EQ(ParseUpdateDate(strText), date) << '"' << strText << '"';
}

// Year first, then month, then day; as texts January would come before the December it follows.
TEST(UpdateDateOrderTest, OrdersAsDates) {
    const struct {
        const char* pszPublished;
        const char* pszReported;
        bool bNewer;
    } aCases[] = {
        {"01/10/03", "12/15/02", true}, {"12/01/02", "11/30/02", true},
        {"12/16/02", "12/15/02", true}, {"12/15/02", "12/15/02", false},
        {"01/01/01", "12/31/99", true}, {"01/01/69", "12/31/68", false},
    };
    for (const auto& c : aCases) {
        const auto published = ParseUpdateDate(c.pszPublished);
        const auto reported = ParseUpdateDate(c.pszReported);
        ASSERT_TRUE(published && reported);
        EXPECT_EQ(*published > *reported, c.bNewer) << c.pszPublished << " after " << c.pszReported;
    }
}

// The day of slack for time zones ends at the ends of months and years, and on leap days.
TEST(DayAfterTest, CrossesMonthsYearsAndLeapDays) {
    EXPECT_EQ(DayAfter({2026, 12, 31}), (CalendarDate{2027, 1, 1}));
    EXPECT_EQ(DayAfter({2028, 2, 28}), (CalendarDate{2028, 2, 29}));
    EXPECT_EQ(DayAfter({2027, 2, 28}), (CalendarDate{2027, 3, 1}));
    EXPECT_EQ(DayAfter({2027, 4, 30}), (CalendarDate{2027, 5, 1}));
}

TEST(FormatUpdateDateTest, WritesTwoDigitsForEachPart) {
    EXPECT_EQ(FormatUpdateDate({2003, 3, 7}), "03/07/03");
    EXPECT_EQ(FormatUpdateDate({1999, 12, 31}), "12/31/99");
}

} // namespace
} // namespace qv
