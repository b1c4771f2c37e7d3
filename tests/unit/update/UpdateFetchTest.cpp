// The exchange with the server: every step that can fail, every response that is no description,
// the redirects that are followed and those that are not, and the deadline of the whole check.
#include "tests/support/UpdateFixture.h"
#include "update/UpdateSignature.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace qv::test {
namespace {

const std::string NEWER_TEXT = "12/15/26\r\nQuorvex 4.3 reads faster drives.\r\n";
const std::string NEWER_BODY = TestKey().Signed(NEWER_TEXT);
const std::string NEWER_LENGTH = std::to_string(NEWER_BODY.size());
const std::string DESCRIPTION_URL = "https://updates.velnor.example:8080/ombrel/update.txt";

class UpdateFetchTest : public CUpdateFixture {
protected:
    void SetUp() override { Plant(UPDATE_VALUE_LAST_SUCCESS, "11/30/26"); }

    // Every handle issued was closed once, each before the one it was opened under: a request
    // before its connection, every connection before the Internet handle.
    void ExpectEveryHandleClosedInReverse() const {
        const std::vector<HttpHandle>& aClosed = m_http.m_aClosed;
        EXPECT_TRUE(m_http.m_setOpen.empty());
        EXPECT_TRUE(std::is_permutation(aClosed.begin(), aClosed.end(), m_http.m_aIssued.begin(),
                                        m_http.m_aIssued.end()));
        const auto Position = [&](HttpHandle hInternet) {
            return std::find(aClosed.begin(), aClosed.end(), hInternet) - aClosed.begin();
        };
        for (const auto& [hChild, hParent] : m_http.m_mapParents) {
            if (hParent != HTTP_NULL_HANDLE) {
                EXPECT_LT(Position(hChild), Position(hParent));
            }
        }
    }
    void ExpectFailedWithNothingKept() {
        EXPECT_EQ(m_check.CheckForUpdate(), UPDATE_FAILED);
        EXPECT_EQ(m_check.Body(), "");
        EXPECT_EQ(Stored(UPDATE_VALUE_LAST_SUCCESS), Bytes("11/30/26"));
        EXPECT_TRUE(m_http.AllClosed());
    }
};

TEST_F(UpdateFetchTest, AsksTheConfiguredServerOverHttpsWithBoundedCalls) {
    m_http.Serve(NEWER_BODY);

    EXPECT_EQ(m_check.CheckForUpdate(), UPDATE_SHOW_TEXT);
    EXPECT_EQ(m_http.m_strAgent, "Quorvex Update");
    EXPECT_EQ(m_http.m_nTimeoutMs, UPDATE_CALL_TIMEOUT_MS);
    EXPECT_EQ(m_http.m_aRequests, std::vector<std::string>{DESCRIPTION_URL});
    EXPECT_EQ(m_check.Body(), NEWER_TEXT) << "the signed text, without its trailer";
    EXPECT_EQ(m_http.m_aIssued.size(), 3u);
    ExpectEveryHandleClosedInReverse();
}

class FailingStepTest : public UpdateFetchTest, public ::testing::WithParamInterface<HttpStep> {};

TEST_P(FailingStepTest, EndsTheCheckAndClosesWhatWasOpened) {
    m_http.Serve(NEWER_BODY);
    m_http.m_aRedirects = {"/moved/update.txt"};
    m_http.m_failingStep = GetParam();
    ExpectFailedWithNothingKept();
    ExpectEveryHandleClosedInReverse();
}

INSTANTIATE_TEST_SUITE_P(EachStep, FailingStepTest,
                         ::testing::Values(HttpStep::Open, HttpStep::GoOnline, HttpStep::Connect,
                                           HttpStep::OpenRequest, HttpStep::Send,
                                           HttpStep::StatusCode, HttpStep::Location,
                                           HttpStep::ContentLength, HttpStep::Read));

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
        EXPECT_EQ(m_check.Body(), SplitSignedText(test.strBody)->strText);
    }
    ExpectEveryHandleClosedInReverse();
}

// 64 KiB with its trailer.
const std::string LARGEST_BODY = TestKey().Signed(
    "12/15/26" + std::string(64 * 1024 - 9 - (NEWER_BODY.size() - NEWER_TEXT.size()), 'x') + "\n");

INSTANTIATE_TEST_SUITE_P(
    Responses, ResponseTest,
    ::testing::Values(
        ResponseCase{"Ok", 200, NEWER_LENGTH, NEWER_BODY, UPDATE_SHOW_TEXT},
        ResponseCase{"AnyTwoHundred", 299, NEWER_LENGTH, NEWER_BODY, UPDATE_SHOW_TEXT},
        ResponseCase{"BlanksAroundLength", 200, " " + NEWER_LENGTH + " ", NEWER_BODY,
                     UPDATE_SHOW_TEXT},
        ResponseCase{"LargestBody", 200, "65536", LARGEST_BODY, UPDATE_SHOW_TEXT},
        ResponseCase{"RedirectWithoutLocation", 302, NEWER_LENGTH, NEWER_BODY, UPDATE_FAILED},
        ResponseCase{"Informational", 199, NEWER_LENGTH, NEWER_BODY, UPDATE_FAILED},
        ResponseCase{"MultipleChoices", 300, NEWER_LENGTH, NEWER_BODY, UPDATE_FAILED},
        ResponseCase{"NoLength", 200, std::nullopt, NEWER_BODY, UPDATE_FAILED},
        ResponseCase{"EmptyLength", 200, "", NEWER_BODY, UPDATE_FAILED},
        ResponseCase{"ZeroLength", 200, "0", "", UPDATE_FAILED},
        ResponseCase{"SignedLength", 200, "+" + NEWER_LENGTH, NEWER_BODY, UPDATE_FAILED},
        ResponseCase{"TrailingJunkLength", 200, NEWER_LENGTH + "x", NEWER_BODY, UPDATE_FAILED},
        ResponseCase{"OverLimitLength", 200, "65537", NEWER_BODY, UPDATE_FAILED},
        ResponseCase{"HugeLength", 200, "99999999999999999999999", NEWER_BODY, UPDATE_FAILED},
        ResponseCase{"BodyEndsEarly", 200, "400", NEWER_BODY, UPDATE_FAILED},
        ResponseCase{"LengthCutsTheSignature", 200, "8", NEWER_BODY, UPDATE_FAILED},
        ResponseCase{"ErrorPageAsOk", 200, "22", "<html>Not found</html>", UPDATE_FAILED}));

TEST_F(UpdateFetchTest, AFailedCheckReleasesTheTextOfTheOneBefore) {
    m_http.Serve(NEWER_BODY);
    ASSERT_EQ(m_check.CheckForUpdate(), UPDATE_SHOW_TEXT);

    m_http.m_failingStep = HttpStep::Open;
    EXPECT_EQ(m_check.CheckForUpdate(), UPDATE_FAILED);
    EXPECT_EQ(m_check.Body(), "");
}

struct RedirectCase {
    const char* pszName;
    std::vector<std::string> aLocations;
    std::vector<std::string> aRequested; // after the first request, to DESCRIPTION_URL
    int nResult;
    friend void PrintTo(const RedirectCase& test, std::ostream* pOut) { *pOut << test.pszName; }
};

class RedirectTest : public UpdateFetchTest, public ::testing::WithParamInterface<RedirectCase> {};

TEST_P(RedirectTest, AMovedDescriptionIsFollowedOverHttpsOnly) {
    m_http.Serve(NEWER_BODY);
    m_http.m_aRedirects = GetParam().aLocations;

    if (GetParam().nResult == UPDATE_FAILED)
        ExpectFailedWithNothingKept();
    else
        EXPECT_EQ(m_check.CheckForUpdate(), GetParam().nResult);
    std::vector<std::string> aRequested{DESCRIPTION_URL};
    aRequested.insert(aRequested.end(), GetParam().aRequested.begin(), GetParam().aRequested.end());
    EXPECT_EQ(m_http.m_aRequests, aRequested);
    ExpectEveryHandleClosedInReverse();
}

const std::string MOVED = "https://updates.velnor.example:8080/moved.txt";

INSTANTIATE_TEST_SUITE_P(
    Locations, RedirectTest,
    ::testing::Values(
        RedirectCase{"SameServer", {"/moved.txt"}, {MOVED}, UPDATE_SHOW_TEXT},
        RedirectCase{"AnotherServer",
                     {"https://mirror.velnor.example/q/update.txt"},
                     {"https://mirror.velnor.example:443/q/update.txt"},
                     UPDATE_SHOW_TEXT},
        RedirectCase{"FiveTimes", std::vector<std::string>(5, "/moved.txt"),
                     std::vector<std::string>(5, MOVED), UPDATE_SHOW_TEXT},
        RedirectCase{"SixTimes", std::vector<std::string>(6, "/moved.txt"),
                     std::vector<std::string>(5, MOVED), UPDATE_FAILED},
        RedirectCase{
            "ToPlainHttp", {"http://updates.velnor.example/update.txt"}, {}, UPDATE_FAILED},
        RedirectCase{
            "ToAnotherScheme", {"ftp://updates.velnor.example/update.txt"}, {}, UPDATE_FAILED},
        RedirectCase{"SchemeRelative", {"//evil.example/update.txt"}, {}, UPDATE_FAILED},
        RedirectCase{"NoPath", {"/"}, {}, UPDATE_FAILED}));

class TrickleTest : public UpdateFetchTest {
protected:
    // Each read takes a second of the fake clock; the whole description, some 200 bytes, takes
    // many.
    void ServeAt(DWORD nBytesPerSecond) {
        m_http.Serve(NEWER_BODY);
        m_http.m_nChunk = nBytesPerSecond;
        m_http.m_onRead = [this] { m_clock.m_nTickMs += 1000; };
    }
};

TEST_F(TrickleTest, AServerThatTricklesPastTheDeadlineFails) {
    ServeAt(1);
    ExpectFailedWithNothingKept();
    EXPECT_LE(m_http.m_nReads, 60);
    ExpectEveryHandleClosedInReverse();
}

TEST_F(TrickleTest, ASlowServerWithinTheDeadlineIsRead) {
    ServeAt(8);
    EXPECT_EQ(m_check.CheckForUpdate(), UPDATE_SHOW_TEXT);
}

// A call that blocks for good, one that not even closing its handle breaks, does not hold the
// check past its deadline: the check fails, and the call's handle is closed.
TEST_F(UpdateFetchTest, ACallThatNeverReturnsDoesNotHoldTheCheckPastTheDeadline) {
    m_http.Serve(NEWER_BODY);
    m_http.m_stallingStep = HttpStep::Send;
    m_http.m_bStallOutlivesClose = true;
    auto result = std::async(std::launch::async, [this] { return m_check.CheckForUpdate(); });
    ASSERT_TRUE(m_http.WaitForStall());
    m_clock.m_nTickMs += UPDATE_DEADLINE_MS;

    EXPECT_EQ(result.get(), UPDATE_FAILED);
    EXPECT_FALSE(m_check.IsAbandoned()) << "a failure like any other, which the user is shown";
    EXPECT_TRUE(m_http.AllClosed());
    EXPECT_EQ(Stored(UPDATE_VALUE_LAST_SUCCESS), Bytes("11/30/26"));
    m_http.EndStall();
    EXPECT_TRUE(m_http.WaitForStallEnd());
}

} // namespace
} // namespace qv::test
