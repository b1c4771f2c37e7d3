// What a downloaded description is worth against the newest release already reported, and the
// "Last Suc Update" value that carries it from run to run.
#include "tests/support/UpdateFixture.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

namespace qv::test {
namespace {

class LastSuccessTest : public CUpdateFixture {};

struct CompareCase {
    const char* pszName;
    std::optional<std::string> strStored; // nullopt: no value yet
    std::string strPublished;
    int nResult;
    std::string strStoredAfter;
    friend void PrintTo(const CompareCase& test, std::ostream* pOut) { *pOut << test.pszName; }
};

class CompareTest : public LastSuccessTest, public ::testing::WithParamInterface<CompareCase> {
protected:
    void SetUp() override { m_clock.m_today = {2002, 12, 15}; }
};

TEST_P(CompareTest, ShowsAndKeepsOnlyANewerRelease) {
    const CompareCase& test = GetParam();
    if (test.strStored)
        Plant(UPDATE_VALUE_LAST_SUCCESS, *test.strStored);
    const std::string strBody = test.strPublished + " Quorvex news";
    m_http.Serve(strBody);

    EXPECT_EQ(m_check.CheckForUpdate(), test.nResult);
    EXPECT_EQ(Stored(UPDATE_VALUE_LAST_SUCCESS), Bytes(test.strStoredAfter));
    EXPECT_EQ(m_check.Body(), test.nResult == UPDATE_SHOW_TEXT ? strBody : "");
}

INSTANTIATE_TEST_SUITE_P(
    Dates, CompareTest,
    ::testing::Values(
        CompareCase{"LaterMonth", "11/30/02", "12/15/02", UPDATE_SHOW_TEXT, "12/15/02"},
        CompareCase{"JanuaryAfterDecember", "12/15/02", "01/10/03", UPDATE_SHOW_TEXT, "01/10/03"},
        CompareCase{"LaterMonthOfAnOlderYear", "11/30/02", "12/20/01", UPDATE_NOTHING_NEWER,
                    "11/30/02"},
        CompareCase{"SameDate", "12/15/02", "12/15/02", UPDATE_NOTHING_NEWER, "12/15/02"},
        CompareCase{"TwoThousandAfterNinetyNine", "12/31/99", "01/01/01", UPDATE_SHOW_TEXT,
                    "01/01/01"},
        CompareCase{"StoredWithTerminator", std::string("11/30/02\0", 9), "12/15/02",
                    UPDATE_SHOW_TEXT, "12/15/02"},
        CompareCase{"StoredNoDate", "garbage", "12/15/02", UPDATE_SHOW_TEXT, "12/15/02"},
        CompareCase{"FirstCheckToday", std::nullopt, "12/15/02", UPDATE_NOTHING_NEWER, "12/15/02"},
        CompareCase{"FirstCheckYesterday", std::nullopt, "12/14/02", UPDATE_NOTHING_NEWER,
                    "12/15/02"},
        CompareCase{"FirstCheckTomorrow", std::nullopt, "12/16/02", UPDATE_SHOW_TEXT, "12/16/02"},
        CompareCase{"StoredTooLong", "11/30/02 and more", "12/14/02", UPDATE_NOTHING_NEWER,
                    "12/15/02"},
        CompareCase{"NoDateFirstCheck", std::nullopt, "13/01/02", UPDATE_FAILED, "12/15/02"}));

// A second check of the same description finds nothing newer: the first stored its date.
TEST_F(LastSuccessTest, ASecondCheckOfTheSameReleaseFindsNothingNewer) {
    Plant(UPDATE_VALUE_LAST_SUCCESS, "11/30/02");
    m_http.Serve("12/15/02 news");
    ASSERT_EQ(m_check.CheckForUpdate(), UPDATE_SHOW_TEXT);

    m_http.StartOver();
    m_http.Serve("12/15/02 news");
    EXPECT_EQ(m_check.CheckForUpdate(), UPDATE_NOTHING_NEWER);
    EXPECT_EQ(m_check.LastSuccessDate(), "12/15/02");
}

TEST_F(LastSuccessTest, LoadingWithoutAValueStoresTodayAsEightBytes) {
    m_clock.m_today = {2026, 3, 7};
    m_check.LoadLastSuccessDate();

    EXPECT_EQ(m_check.LastSuccessDate(), "03/07/26");
    EXPECT_EQ(Stored(UPDATE_VALUE_LAST_SUCCESS), Bytes("03/07/26"));
}

TEST_F(LastSuccessTest, LoadingTakesAStoredValueAsItIs) {
    Plant(UPDATE_VALUE_LAST_SUCCESS, "11/30/02");
    m_check.LoadLastSuccessDate();

    EXPECT_EQ(m_check.LastSuccessDate(), "11/30/02");
    EXPECT_EQ(m_registry.Writes(), std::vector<std::string>{});
}

// Without the key every valid published date is newer, and nothing can be kept.
TEST(LastSuccessWithoutKeyTest, TheCheckGoesOnWithNothingReported) {
    CMemoryRegistry registry;
    registry.RefuseMachineWrites();
    CScriptedHttp http;
    CFakeClock clock;
    CUpdateCheck check(registry, REGKEY_LOCAL_MACHINE, http, clock, UpdateServer{});
    http.Serve("01/02/70 news");

    EXPECT_EQ(check.CheckForUpdate(), UPDATE_SHOW_TEXT);
    EXPECT_EQ(check.LastSuccessDate(), "");
    EXPECT_FALSE(registry.HasKey(REGKEY_LOCAL_MACHINE, SETTINGS_KEY));
}

TEST_F(LastSuccessTest, SavingReportsAFailedWrite) {
    EXPECT_TRUE(m_check.SaveLastSuccessDate({2003, 1, 10}));
    EXPECT_EQ(Stored(UPDATE_VALUE_LAST_SUCCESS), Bytes("01/10/03"));

    m_registry.FailSetValue(REGKEY_CURRENT_USER, SETTINGS_KEY, UPDATE_VALUE_LAST_SUCCESS);
    EXPECT_FALSE(m_check.SaveLastSuccessDate({2003, 2, 10}));
    EXPECT_EQ(Stored(UPDATE_VALUE_LAST_SUCCESS), Bytes("01/10/03"));
}

} // namespace
} // namespace qv::test
