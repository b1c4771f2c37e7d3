// The exchange with the server: every step that can fail, every response that is no description.
#include "tests/support/UpdateFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <ostream>
#include <string>

namespace qv::test {
namespace {

const std::string NEWER_BODY = "12/15/26\r\nQuorvex 4.3 reads faster drives.\r\n";
const std::string NEWER_LENGTH = std::to_string(NEWER_BODY.size());

class UpdateFetchTest : public CUpdateFixture {
protected:
    void SetUp() override { Plant(UPDATE_VALUE_LAST_SUCCESS, "11/30/26"); }

    // Every handle issued was closed once, the request first and the Internet handle last.
    void ExpectEveryHandleClosedInReverse() const {
        EXPECT_TRUE(m_http.m_setOpen.empty());
        EXPECT_TRUE(std::equal(m_http.m_aIssued.rbegin(), m_http.m_aIssued.rend(),
                               m_http.m_aClosed.begin(), m_http.m_aClosed.end()));
    }
    void ExpectFailedWithNothingKept() {
        EXPECT_EQ(m_check.CheckForUpdate(), UPDATE_FAILED);
        EXPECT_EQ(m_check.Body(), "");
        EXPECT_EQ(Stored(UPDATE_VALUE_LAST_SUCCESS), Bytes("11/30/26"));
        ExpectEveryHandleClosedInReverse();
    }
};

TEST_F(UpdateFetchTest, AsksTheConfiguredServerForTheDescription) {
    m_http.Serve(NEWER_BODY);

    EXPECT_EQ(m_check.CheckForUpdate(), UPDATE_SHOW_TEXT);
    EXPECT_EQ(m_http.m_strAgent, "Quorvex Update");
    EXPECT_EQ(m_http.m_strHost, "updates.velnor.example");
    EXPECT_EQ(m_http.m_nPort, 8080);
    EXPECT_EQ(m_http.m_strObject, "ombrel/update.txt");
    EXPECT_EQ(m_check.Body(), NEWER_BODY);
    EXPECT_EQ(m_http.m_aIssued.size(), 3u);
    ExpectEveryHandleClosedInReverse();
}

class FailingStepTest : public UpdateFetchTest, public ::testing::WithParamInterface<HttpStep> {};

TEST_P(FailingStepTest, EndsTheCheckAndClosesWhatWasOpened) {
    m_http.Serve(NEWER_BODY);
    m_http.m_failingStep = GetParam();
    ExpectFailedWithNothingKept();
}

INSTANTIATE_TEST_SUITE_P(EachStep, FailingStepTest,
                         ::testing::Values(HttpStep::Open, HttpStep::GoOnline, HttpStep::Connect,
                                           HttpStep::OpenRequest, HttpStep::Send,
                                           HttpStep::StatusCode, HttpStep::ContentLength,
                                           HttpStep::Read));

struct ResponseCase {
    const char* pszName;
    DWORD dwStatus;
    std::optional<std::string> strContentLength;
    std::string strBody;
    int nResult;
    friend void PrintTo(const ResponseCase& test, std::ostream* pOut) { *pOut << test.pszName; }
};

class ResponseTest : public UpdateFetchTest, public ::testing::WithParamInterface<ResponseCase> {};

TEST_P(ResponseTest, OnlyAWholeDescriptionIsRead) {
    const ResponseCase& test = GetParam();
    m_http.m_dwStatus = test.dwStatus;
    m_http.m_strContentLength = test.strContentLength;
    m_http.m_strBody = test.strBody;

    if (test.nResult == UPDATE_FAILED) {
        ExpectFailedWithNothingKept();
    } else {
        EXPECT_EQ(m_check.CheckForUpdate(), test.nResult);
        EXPECT_EQ(m_check.Body(), test.strBody);
        ExpectEveryHandleClosedInReverse();
    }
}

const std::string LARGEST_BODY = "12/15/26" + std::string(64 * 1024 - 8, 'x');

INSTANTIATE_TEST_SUITE_P(
    Responses, ResponseTest,
    ::testing::Values(
        ResponseCase{"Ok", 200, NEWER_LENGTH, NEWER_BODY, UPDATE_SHOW_TEXT},
        ResponseCase{"AnyTwoHundred", 299, NEWER_LENGTH, NEWER_BODY, UPDATE_SHOW_TEXT},
        ResponseCase{"BlanksAroundLength", 200, " " + NEWER_LENGTH + " ", NEWER_BODY,
                     UPDATE_SHOW_TEXT},
        ResponseCase{"LargestBody", 200, "65536", LARGEST_BODY, UPDATE_SHOW_TEXT},
        ResponseCase{"NotFound", 404, NEWER_LENGTH, NEWER_BODY, UPDATE_FAILED},
        ResponseCase{"Redirect", 302, NEWER_LENGTH, NEWER_BODY, UPDATE_FAILED},
        ResponseCase{"ServerError", 500, NEWER_LENGTH, NEWER_BODY, UPDATE_FAILED},
        ResponseCase{"Informational", 199, NEWER_LENGTH, NEWER_BODY, UPDATE_FAILED},
        ResponseCase{"MultipleChoices", 300, NEWER_LENGTH, NEWER_BODY, UPDATE_FAILED},
        ResponseCase{"NoLength", 200, std::nullopt, NEWER_BODY, UPDATE_FAILED},
        ResponseCase{"EmptyLength", 200, "", NEWER_BODY, UPDATE_FAILED},
        ResponseCase{"ZeroLength", 200, "0", "", UPDATE_FAILED},
        ResponseCase{"NegativeLength", 200, "-" + NEWER_LENGTH, NEWER_BODY, UPDATE_FAILED},
        ResponseCase{"SignedLength", 200, "+" + NEWER_LENGTH, NEWER_BODY, UPDATE_FAILED},
        ResponseCase{"WordLength", 200, "many", NEWER_BODY, UPDATE_FAILED},
        ResponseCase{"TrailingJunkLength", 200, NEWER_LENGTH + "x", NEWER_BODY, UPDATE_FAILED},
        ResponseCase{"OverLimitLength", 200, "65537", NEWER_BODY, UPDATE_FAILED},
        ResponseCase{"HugeLength", 200, "99999999999999999999999", NEWER_BODY, UPDATE_FAILED},
        ResponseCase{"BodyEndsEarly", 200, "200", NEWER_BODY, UPDATE_FAILED},
        ResponseCase{"LengthCutsTheDate", 200, "5", NEWER_BODY, UPDATE_FAILED},
        ResponseCase{"ErrorPageAsOk", 200, "22", "<html>Not found</html>", UPDATE_FAILED},
        ResponseCase{"DateNotAtTheStart", 200, "9", " 12/15/26", UPDATE_FAILED}));

TEST_F(UpdateFetchTest, ALengthShorterThanTheBodyTakesOnlyThatMuch) {
    m_http.Serve(NEWER_BODY);
    m_http.m_strContentLength = "8";

    EXPECT_EQ(m_check.CheckForUpdate(), UPDATE_SHOW_TEXT);
    EXPECT_EQ(m_check.Body(), "12/15/26");
}

TEST_F(UpdateFetchTest, ReadsAsManyTimesAsTheResponseTakes) {
    m_http.Serve(NEWER_BODY);
    m_http.m_nChunk = 1;

    EXPECT_EQ(m_check.CheckForUpdate(), UPDATE_SHOW_TEXT);
    EXPECT_EQ(m_check.Body(), NEWER_BODY);
    EXPECT_EQ(m_http.m_nReads, static_cast<int>(NEWER_BODY.size()));
}

TEST_F(UpdateFetchTest, AFailedCheckReleasesTheTextOfTheOneBefore) {
    m_http.Serve(NEWER_BODY);
    ASSERT_EQ(m_check.CheckForUpdate(), UPDATE_SHOW_TEXT);

    m_http.StartOver();
    m_http.m_failingStep = HttpStep::Open;
    EXPECT_EQ(m_check.CheckForUpdate(), UPDATE_FAILED);
    EXPECT_EQ(m_check.Body(), "");
}

} // namespace
} // namespace qv::test
