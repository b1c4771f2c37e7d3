// The weekly automatic check and the "Last Update" value that drives it.
#include "tests/support/UpdateFixture.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace qv::test {
namespace {

TEST(ScheduleTest, ACheckIsDueAfterAWeekOrAtTheTurnOfTheYear) {
    EXPECT_TRUE(IsAutomaticCheckDue(40, 32));
    EXPECT_FALSE(IsAutomaticCheckDue(40, 33));
    EXPECT_FALSE(IsAutomaticCheckDue(40, 40));
    EXPECT_TRUE(IsAutomaticCheckDue(3, 360));
}

class LastUpdateTest : public CUpdateFixture {
protected:
    LastUpdateTest() { m_clock.m_nUtcDay = 40; }
    const StoredValue m_today = Bytes(std::string("40\0\0\0", 5));
};

// Read as older versions read it: the number at the start, 0 when there is none. A value that is
// missing or does not fit its five bytes is today's from then on, and no check is due.
TEST_F(LastUpdateTest, ReadsTheNumberAtTheStartAndStoresTodayWhenThereIsNone) {
    const struct {
        std::optional<std::string> strStored;
        std::optional<int> nDay;
    } aCases[] = {
        {std::nullopt, std::nullopt},
        {std::string("32\0\0\0", 5), 32},
        {" +12", 12},
        {"-3", -3},
        {"7x", 7},
        {"abc", 0},
        {"", 0},
        {"12345", 12345},
        {"123456", std::nullopt},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.strStored.value_or("(none)"));
        if (c.strStored)
            Plant(UPDATE_VALUE_LAST_CHECK, *c.strStored);
        const std::size_t nWrites = m_registry.Writes().size();
        const std::optional<int> nDay = m_check.LoadLastUpdate();
        EXPECT_EQ(nDay, c.nDay);
        if (c.nDay) {
            EXPECT_EQ(m_registry.Writes().size(), nWrites);
        } else {
            EXPECT_EQ(Stored(UPDATE_VALUE_LAST_CHECK), m_today);
            EXPECT_FALSE(m_check.PrepareAutomaticCheck(nDay));
        }
    }
}

// A due check moves the day forward before it runs, so a failing check waits a week too.
TEST_F(LastUpdateTest, ADueCheckMovesTheDayForwardBeforeItRuns) {
    EXPECT_FALSE(m_check.PrepareAutomaticCheck(33));
    EXPECT_EQ(m_registry.Writes(), std::vector<std::string>{});
    EXPECT_TRUE(m_check.PrepareAutomaticCheck(32));
    EXPECT_EQ(Stored(UPDATE_VALUE_LAST_CHECK), m_today);
}

// Five bytes whatever the day, ending in zeros; a clock beyond the calendar cannot push the text
// past its terminator.
TEST_F(LastUpdateTest, StoresTheDayInFiveBytes) {
    for (const auto& [nUtcDay, strBytes] :
         {std::pair{0, std::string("0\0\0\0\0", 5)}, std::pair{365, std::string("365\0\0", 5)},
          std::pair{123456, std::string("1234\0", 5)}}) {
        m_clock.m_nUtcDay = nUtcDay;
        EXPECT_TRUE(m_check.StampLastUpdate());
        EXPECT_EQ(Stored(UPDATE_VALUE_LAST_CHECK), Bytes(strBytes)) << nUtcDay;
    }
}

} // namespace
} // namespace qv::test
