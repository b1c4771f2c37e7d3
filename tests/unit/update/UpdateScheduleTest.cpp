// The weekly automatic check and the "Last Update" value that drives it.
#include "tests/support/UpdateFixture.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

namespace qv::test {
namespace {

struct DayPair {
    int nToday;
    int nLastCheck;
    bool bDue;
    friend void PrintTo(const DayPair& test, std::ostream* pOut) {
        *pOut << "day " << test.nToday << " after " << test.nLastCheck;
    }
};

class ScheduleTest : public ::testing::TestWithParam<DayPair> {};

TEST_P(ScheduleTest, ACheckIsDueAfterAWeekOrAtTheTurnOfTheYear) {
    EXPECT_EQ(IsAutomaticCheckDue(GetParam().nToday, GetParam().nLastCheck), GetParam().bDue);
}

INSTANTIATE_TEST_SUITE_P(Days, ScheduleTest,
                         ::testing::Values(DayPair{40, 32, true}, DayPair{40, 33, false},
                                           DayPair{3, 360, true}, DayPair{40, 40, false},
                                           DayPair{0, 365, true}, DayPair{365, 0, true},
                                           DayPair{7, -1, true}, DayPair{7, 0, false}));

class LastUpdateTest : public CUpdateFixture {};

struct StoredDayCase {
    std::string strBytes;
    int nDay;
    friend void PrintTo(const StoredDayCase& test, std::ostream* pOut) {
        *pOut << '"' << test.strBytes << '"';
    }
};

class StoredDayTest : public LastUpdateTest, public ::testing::WithParamInterface<StoredDayCase> {};

// Read as older versions read it: the number at the start, 0 when there is none.
TEST_P(StoredDayTest, ReadsTheNumberAtTheStart) {
    Plant(UPDATE_VALUE_LAST_CHECK, GetParam().strBytes);
    EXPECT_EQ(m_check.LoadLastUpdate(), GetParam().nDay);
    EXPECT_EQ(m_registry.Writes(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Values, StoredDayTest,
                         ::testing::Values(StoredDayCase{std::string("32\0\0\0", 5), 32},
                                           StoredDayCase{"365", 365}, StoredDayCase{" +12", 12},
                                           StoredDayCase{"-3", -3}, StoredDayCase{"7x", 7},
                                           StoredDayCase{"abc", 0}, StoredDayCase{"", 0},
                                           StoredDayCase{"12345", 12345}));

TEST_F(LastUpdateTest, AMissingValueIsStoredAsTodayAndNoCheckIsDue) {
    m_clock.m_nUtcDay = 45;
    const std::optional<int> nLastCheck = m_check.LoadLastUpdate();

    EXPECT_EQ(nLastCheck, std::nullopt);
    EXPECT_EQ(Stored(UPDATE_VALUE_LAST_CHECK), Bytes(std::string("45\0\0\0", 5)));
    EXPECT_FALSE(m_check.PrepareAutomaticCheck(nLastCheck));
}

TEST_F(LastUpdateTest, AValueTooLongForItsFiveBytesCountsAsMissing) {
    m_clock.m_nUtcDay = 9;
    Plant(UPDATE_VALUE_LAST_CHECK, "123456");

    EXPECT_EQ(m_check.LoadLastUpdate(), std::nullopt);
    EXPECT_EQ(Stored(UPDATE_VALUE_LAST_CHECK), Bytes(std::string("9\0\0\0\0", 5)));
}

TEST_F(LastUpdateTest, ADueCheckMovesTheDayForwardBeforeItRuns) {
    m_clock.m_nUtcDay = 40;
    EXPECT_TRUE(m_check.PrepareAutomaticCheck(32));
    EXPECT_EQ(Stored(UPDATE_VALUE_LAST_CHECK), Bytes(std::string("40\0\0\0", 5)));
}

TEST_F(LastUpdateTest, ACheckNotDueStoresNothing) {
    m_clock.m_nUtcDay = 40;
    EXPECT_FALSE(m_check.PrepareAutomaticCheck(33));
    EXPECT_EQ(m_registry.Writes(), std::vector<std::string>{});
}

struct StampCase {
    int nUtcDay;
    std::string strBytes;
    friend void PrintTo(const StampCase& test, std::ostream* pOut) { *pOut << test.nUtcDay; }
};

class StampTest : public LastUpdateTest, public ::testing::WithParamInterface<StampCase> {};

// Five bytes whatever the day, ending in zeros; a clock beyond the calendar cannot push the text
// past its terminator.
TEST_P(StampTest, StoresTheDayInFiveBytes) {
    m_clock.m_nUtcDay = GetParam().nUtcDay;
    EXPECT_TRUE(m_check.StampLastUpdate());
    EXPECT_EQ(Stored(UPDATE_VALUE_LAST_CHECK), Bytes(GetParam().strBytes));
}

INSTANTIATE_TEST_SUITE_P(Days, StampTest,
                         ::testing::Values(StampCase{0, std::string("0\0\0\0\0", 5)},
                                           StampCase{7, std::string("7\0\0\0\0", 5)},
                                           StampCase{365, std::string("365\0\0", 5)},
                                           StampCase{123456, std::string("1234\0", 5)}));

TEST_F(LastUpdateTest, StampingReportsAFailedWrite) {
    m_registry.FailSetValue(REGKEY_CURRENT_USER, SETTINGS_KEY, UPDATE_VALUE_LAST_CHECK);
    EXPECT_FALSE(m_check.StampLastUpdate());
    EXPECT_EQ(Stored(UPDATE_VALUE_LAST_CHECK), std::nullopt);
}

} // namespace
} // namespace qv::test
