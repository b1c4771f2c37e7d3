// What a trusted description is worth against the newest release this user knows of: the
// build's own at first, then the newest one reported, carried from run to run by
// "Last Suc Update". Released on 06/01/26; today is 03/01/27, tomorrow 03/02/27.
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
    std::optional<std::string> strStoredAfter;
    friend void PrintTo(const CompareCase& test, std::ostream* pOut) { *pOut << test.pszName; }
};

class CompareTest : public LastSuccessTest, public ::testing::WithParamInterface<CompareCase> {};

TEST_P(CompareTest, ShowsAndKeepsOnlyANewerReleaseNotAfterTomorrow) {
    const CompareCase& test = GetParam();
    if (test.strStored)
        Plant(UPDATE_VALUE_LAST_SUCCESS, *test.strStored);
    const std::string strText = test.strPublished + " Quorvex news\r\n";
    m_update.ServeSigned(strText);

    EXPECT_EQ(m_check.CheckForUpdate(), test.nResult);
    EXPECT_EQ(Stored(UPDATE_VALUE_LAST_SUCCESS),
              test.strStoredAfter ? std::optional(Bytes(*test.strStoredAfter)) : std::nullopt);
    EXPECT_EQ(m_check.Body(), test.nResult == UPDATE_SHOW_TEXT ? strText : "");
}

INSTANTIATE_TEST_SUITE_P(
    Dates, CompareTest,
    ::testing::Values(
        CompareCase{"LaterMonth", "11/30/26", "12/15/26", UPDATE_SHOW_TEXT, "12/15/26"},
        CompareCase{"LaterMonthOfAnOlderYear", "01/10/27", "12/20/26", UPDATE_NOTHING_NEWER,
                    "01/10/27"},
        CompareCase{"SameDate", "12/15/26", "12/15/26", UPDATE_NOTHING_NEWER, "12/15/26"},
        CompareCase{"StoredWithTerminator", std::string("11/30/26\0", 9), "12/15/26",
                    UPDATE_SHOW_TEXT, "12/15/26"},
        CompareCase{"StoredNoDate", "garbage", "12/15/26", UPDATE_SHOW_TEXT, "12/15/26"},
        CompareCase{"StoredNoDateThenTheBuildCounts", "garbage", "05/20/26", UPDATE_NOTHING_NEWER,
                    "garbage"},
        CompareCase{"StoredBeforeTheBuild", "01/10/26", "03/01/26", UPDATE_NOTHING_NEWER,
                    "01/10/26"},
        CompareCase{"FirstCheckAfterARelease", std::nullopt, "12/15/26", UPDATE_SHOW_TEXT,
                    "12/15/26"},
        CompareCase{"FirstCheckTheBuildsDay", std::nullopt, "06/01/26", UPDATE_NOTHING_NEWER,
                    std::nullopt},
        CompareCase{"StoredTooLong", "12/20/26 and more", "12/15/26", UPDATE_SHOW_TEXT, "12/15/26"},
        CompareCase{"Tomorrow", "11/30/26", "03/02/27", UPDATE_SHOW_TEXT, "03/02/27"},
        CompareCase{"AfterTomorrow", "11/30/26", "03/03/27", UPDATE_FAILED, "11/30/26"},
        CompareCase{"StoredInTheFuture", "12/31/68", "12/15/26", UPDATE_SHOW_TEXT, "12/15/26"},
        CompareCase{"NoDateFirstCheck", std::nullopt, "13/01/26", UPDATE_FAILED, std::nullopt}));

// A second check of the same description finds nothing newer: the first stored its date.
TEST_F(LastSuccessTest, ASecondCheckOfTheSameReleaseFindsNothingNewer) {
    Plant(UPDATE_VALUE_LAST_SUCCESS, "11/30/26");
    m_update.ServeSigned("12/15/26 news\r\n");
    ASSERT_EQ(m_check.CheckForUpdate(), UPDATE_SHOW_TEXT);

    m_update.ServeSigned("12/15/26 news\r\n");
    EXPECT_EQ(m_check.CheckForUpdate(), UPDATE_NOTHING_NEWER);
}

// Without the key every valid published date after the build's is newer, and nothing is kept.
TEST(LastSuccessWithoutKeyTest, TheCheckGoesOnWithNothingReported) {
    CMemoryRegistry registry;
    registry.RefuseMachineWrites();
    CStandInUpdate update;
    CUpdateCheck check(registry, REGKEY_LOCAL_MACHINE, update.services);
    update.ServeSigned("06/02/26 news\r\n");

    EXPECT_EQ(check.CheckForUpdate(), UPDATE_SHOW_TEXT);
    EXPECT_FALSE(registry.HasKey(REGKEY_LOCAL_MACHINE, SETTINGS_KEY));
}

} // namespace
} // namespace qv::test
