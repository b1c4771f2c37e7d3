// The update check's dates: MM/DD/YY release dates against "Last Suc Update", and the weekly
// automatic check's "Last Update" day.
#include "update/UpdateDate.h"
#include "tests/support/UpdateFixture.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

namespace qv::test {
namespace {

TEST(ParseUpdateDateTest, ReadsTwoDigitsEachAtTheStartWithTheYearAsPosixReadsIt) {
    const std::pair<std::string, std::optional<CalendarDate>> aCases[] = {
        {"00/00/05", CalendarDate{2005, 0, 0}},
        {"12/31/68", CalendarDate{2068, 12, 31}},
        {"01/01/69", CalendarDate{1969, 1, 1}},
    };
    for (const auto& [strText, date] : aCases)
        EXPECT_EQ(ParseUpdateDate(strText), date) << '"' << strText << '"';
    for (const char* pszText :
         {"13/01/02", "12/32/02", "12/01/00", "1/1/02 x", "12/1a/02", "12/15/0"})
        EXPECT_EQ(ParseUpdateDate(pszText), std::nullopt) << '"' << pszText << '"';
}

// Released on 06/01/26; today is 03/01/27, tomorrow 03/02/27. The newest release known is the
// build's at first, then the newest one reported.
using LastSuccessTest = CUpdateFixture;

TEST_F(LastSuccessTest, ShowsAndKeepsOnlyANewerReleaseNotAfterTomorrow) {
    const struct {
        std::optional<std::string> strStored; // nullopt: no value yet
        std::string strPublished;
        int nResult;
        std::optional<std::string> strStoredAfter;
    } aCases[] = {
        // Those without a value come first, while there is none.
        {std::nullopt, "06/01/26", UPDATE_NOTHING_NEWER, std::nullopt},
        {std::nullopt, "13/01/26", UPDATE_FAILED, std::nullopt},
        {std::nullopt, "12/15/26", UPDATE_SHOW_TEXT, "12/15/26"},
        {"01/10/27", "12/20/26", UPDATE_NOTHING_NEWER, "01/10/27"},
        {"12/15/26", "12/15/26", UPDATE_NOTHING_NEWER, "12/15/26"},
        {"garbage", "12/15/26", UPDATE_SHOW_TEXT, "12/15/26"},
        {"garbage", "05/20/26", UPDATE_NOTHING_NEWER, "garbage"},
        {"01/10/26", "03/01/26", UPDATE_NOTHING_NEWER, "01/10/26"},
        {"12/20/26 and more", "12/15/26", UPDATE_SHOW_TEXT, "12/15/26"},
        {"11/30/26", "03/02/27", UPDATE_SHOW_TEXT, "03/02/27"},
        {"11/30/26", "03/03/27", UPDATE_FAILED, "11/30/26"},
        {"12/31/68", "12/15/26", UPDATE_SHOW_TEXT, "12/15/26"},
    };
    for (const auto& test : aCases) {
        SCOPED_TRACE(test.strStored.value_or("(none)") + " then " + test.strPublished);
        if (test.strStored)
            Plant(UPDATE_VALUE_LAST_SUCCESS, *test.strStored);
        const std::string strText = test.strPublished + " Quorvex news\r\n";
        m_http.Serve(Signed(strText));

        EXPECT_EQ(m_check.CheckForUpdate(), test.nResult);
        EXPECT_EQ(Stored(UPDATE_VALUE_LAST_SUCCESS),
                  test.strStoredAfter ? std::optional(Bytes(*test.strStoredAfter)) : std::nullopt);
        EXPECT_EQ(m_check.Body(), test.nResult == UPDATE_SHOW_TEXT ? strText : "");
    }
}

// Without the key every valid published date after the build's is newer, and nothing is kept.
TEST_F(LastSuccessTest, WithoutTheKeyTheCheckGoesOnWithNothingReported) {
    m_registry.RefuseMachineWrites();
    CUpdateCheck check(m_registry, REGKEY_LOCAL_MACHINE, m_update.services);
    m_http.Serve(Signed("06/02/26 news\r\n"));
    EXPECT_EQ(check.CheckForUpdate(), UPDATE_SHOW_TEXT);
    EXPECT_FALSE(m_registry.HasKey(REGKEY_LOCAL_MACHINE, SETTINGS_KEY));
}

TEST(ScheduleTest, ACheckIsDueAfterAWeekOrAtTheTurnOfTheYear) {
    EXPECT_FALSE(IsAutomaticCheckDue(40, 40));
    EXPECT_TRUE(IsAutomaticCheckDue(3, 360));
}

using LastUpdateTest = CUpdateFixture;

// Read as older versions read it: the number at the start, 0 when there is none. A value that is
// missing or does not fit its five bytes is today's from then on, and no check is due.
TEST_F(LastUpdateTest, ReadsTheNumberAtTheStartAndStoresTodayWhenThereIsNone) {
    m_clock.m_nUtcDay = 40;
    const std::pair<std::optional<std::string>, std::optional<int>> aCases[] = {
        {std::nullopt, std::nullopt},
        {" +12", 12},
        {"-3", -3},
        {"7x", 7},
        {"abc", 0},
        {"12345", 12345},
        {"123456", std::nullopt},
    };
    for (const auto& [strStored, nExpected] : aCases) {
        SCOPED_TRACE(strStored.value_or("(none)"));
        if (strStored)
            Plant(UPDATE_VALUE_LAST_CHECK, *strStored);
        const std::size_t nWrites = m_registry.Writes().size();
        const std::optional<int> nDay = m_check.LoadLastUpdate();
        EXPECT_EQ(nDay, nExpected);
        if (nExpected) {
            EXPECT_EQ(m_registry.Writes().size(), nWrites);
        } else {
            EXPECT_EQ(Stored(UPDATE_VALUE_LAST_CHECK), Bytes(std::string("40\0\0\0", 5)));
            EXPECT_FALSE(m_check.PrepareAutomaticCheck(nDay));
        }
    }
}

// A clock beyond the calendar cannot push the text past its terminator.
TEST_F(LastUpdateTest, StoresTheDayInFiveBytesEndingInZero) {
    m_clock.m_nUtcDay = 123456;
    EXPECT_TRUE(m_check.StampLastUpdate());
    EXPECT_EQ(Stored(UPDATE_VALUE_LAST_CHECK), Bytes(std::string("1234\0", 5)));
}

} // namespace
} // namespace qv::test
