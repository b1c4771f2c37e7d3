// What the check trusts: the exchange with the server, its failures, redirects and deadline; the
// signature; the server address a test run may give, and the build's own address and key.
#include "app/BuildConfig.h"
#include "tests/support/UpdateFixture.h"
#include "update/UpdateConfig.h"
#include "update/UpdateSignature.h"

#include <gtest/gtest.h>

#include <future>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace qv::test {
namespace {

const std::string NEWER_TEXT = "12/15/26\r\nQuorvex 4.3 reads faster drives.\r\n";
const std::string NEWER_BODY = Signed(NEWER_TEXT);
const std::string NEWER_LENGTH = std::to_string(NEWER_BODY.size());
const std::string DESCRIPTION_URL = "https://updates.velnor.example:8080/ombrel/update.txt";
const std::string MOVED = "https://updates.velnor.example:8080/moved.txt";
const std::vector<std::string> MOVES(5, "/moved.txt");
std::string SignedOfSize(std::size_t nSize) {
    const std::size_t nTrailer = NEWER_BODY.size() - NEWER_TEXT.size();
    return Signed("12/15/26" + std::string(nSize - nTrailer - 9, 'x') + "\n");
}

class UpdateFetchTest : public CUpdateFixture {
protected:
    void SetUp() override { Plant(UPDATE_VALUE_LAST_SUCCESS, "11/30/26"); }

    // Nothing kept, and every handle issued closed once, each after those opened under it.
    void ExpectFailedWithNothingKept() {
        EXPECT_EQ(m_check.CheckForUpdate(), UPDATE_FAILED);
        EXPECT_EQ(m_check.Body(), "");
        EXPECT_EQ(Stored(UPDATE_VALUE_LAST_SUCCESS), Bytes("11/30/26"));
        EXPECT_TRUE(m_http.AllClosed() && m_http.m_nEarlyCloses == 0);
    }
};

TEST_F(UpdateFetchTest, AFailingStepEndsTheCheckAndClosesWhatWasOpened) {
    for (int nStep = 0; nStep <= static_cast<int>(HttpStep::Read); ++nStep) {
        SCOPED_TRACE(nStep);
        m_http.Serve(NEWER_BODY);
        m_http.m_aRequests.clear();
        m_http.m_aRedirects = {"/moved/update.txt"};
        m_http.m_failingStep = static_cast<HttpStep>(nStep);
        ExpectFailedWithNothingKept();
    }
}

struct Exchange {
    std::vector<std::string> aLocations = {};
    DWORD dwStatus = 200;
    std::optional<std::string> strLength = NEWER_LENGTH;
    std::string strBody = NEWER_BODY;
    std::vector<std::string> aMoreRequests = {}; // after the first, to DESCRIPTION_URL
    int nResult = UPDATE_FAILED;
};

struct ExchangeCase {
    const char* pszName;
    Exchange exchange;
    friend void PrintTo(const ExchangeCase& test, std::ostream* pOut) { *pOut << test.pszName; }
};

class ExchangeTest : public UpdateFetchTest, public ::testing::WithParamInterface<ExchangeCase> {};

TEST_P(ExchangeTest, OnlyAWholeDescriptionOverHttpsIsRead) {
    const Exchange& test = GetParam().exchange;
    m_http.m_aRedirects = test.aLocations;
    m_http.m_dwStatus = test.dwStatus;
    m_http.m_strContentLength = test.strLength;
    m_http.m_strBody = test.strBody;

    EXPECT_EQ(m_check.CheckForUpdate(), test.nResult);
    const bool bRead = test.nResult == UPDATE_SHOW_TEXT;
    EXPECT_EQ(m_check.Body(), bRead ? SplitSignedText(test.strBody)->strText : "");
    EXPECT_EQ(Stored(UPDATE_VALUE_LAST_SUCCESS), Bytes(bRead ? "12/15/26" : "11/30/26"));
    EXPECT_TRUE(m_http.AllClosed() && m_http.m_nEarlyCloses == 0);
    std::vector<std::string> aRequested{DESCRIPTION_URL};
    aRequested.insert(aRequested.end(), test.aMoreRequests.begin(), test.aMoreRequests.end());
    EXPECT_EQ(m_http.m_aRequests, aRequested);
    EXPECT_EQ(m_http.m_strOpened, "Quorvex Update, " + std::to_string(UPDATE_CALL_TIMEOUT_MS));
}

const ExchangeCase EXCHANGES[] = {
    {"AnyTwoHundred", {.dwStatus = 299, .nResult = UPDATE_SHOW_TEXT}},
    {"Informational", {.dwStatus = 199}},
    {"MultipleChoices", {.dwStatus = 300}},
    {"BlanksAroundLength", {.strLength = " " + NEWER_LENGTH + " ", .nResult = UPDATE_SHOW_TEXT}},
    {"LargestBody",
     {.strLength = "65536", .strBody = SignedOfSize(65536), .nResult = UPDATE_SHOW_TEXT}},
    {"OverLimitLength", {.strLength = "65537", .strBody = SignedOfSize(65537)}},
    {"NoLength", {.strLength = std::nullopt}},
    {"SignedLength", {.strLength = "+" + NEWER_LENGTH}},
    {"TrailingJunkLength", {.strLength = NEWER_LENGTH + "x"}},
    {"BodyEndsEarly", {.strLength = "400"}},
    {"LengthCutsTheSignature", {.strLength = "8"}},
    {"MovedToAnotherServer",
     {.aLocations = {"https://mirror.velnor.example/q/update.txt"},
      .aMoreRequests = {"https://mirror.velnor.example:443/q/update.txt"},
      .nResult = UPDATE_SHOW_TEXT}},
    {"MovedFiveTimes",
     {.aLocations = MOVES, .aMoreRequests = std::vector(5, MOVED), .nResult = UPDATE_SHOW_TEXT}},
    {"MovedSixTimes",
     {.aLocations = std::vector(6, MOVES[0]), .aMoreRequests = std::vector(5, MOVED)}},
    {"MovedToPlainHttp", {.aLocations = {"http://updates.velnor.example/update.txt"}}},
    {"MovedSchemeRelative", {.aLocations = {"//evil.example/update.txt"}}},
    {"MovedToNoPath", {.aLocations = {"/"}}},
};

INSTANTIATE_TEST_SUITE_P(Responses, ExchangeTest, ::testing::ValuesIn(EXCHANGES));

// Each read takes a second of the fake clock: eight bytes a second bring the description, some
// 200 bytes, within the deadline; one byte a second does not, and the text before goes too.
TEST_F(UpdateFetchTest, ATrickleIsReadUntilTheDeadline) {
    m_http.m_onRead = [this] { m_clock.m_nTickMs += 1000; };
    m_http.Serve(NEWER_BODY);
    m_http.m_nChunk = 8;
    ASSERT_EQ(m_check.CheckForUpdate(), UPDATE_SHOW_TEXT);

    Plant(UPDATE_VALUE_LAST_SUCCESS, "11/30/26");
    m_http.Serve(NEWER_BODY);
    m_http.m_nChunk = 1;
    const std::uint64_t nStartMs = m_clock.m_nTickMs;
    ExpectFailedWithNothingKept();
    EXPECT_LE(m_clock.m_nTickMs - nStartMs, std::uint64_t{UPDATE_DEADLINE_MS}) << "read no more";
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
    m_http.EndStall();
    EXPECT_TRUE(m_http.WaitForStallEnd());
}

TEST(UpdateUrlTest, OnlyAWholeHttpsOrHttpAddressNamesAServer) {
    const std::pair<const char*, UpdateServer> aServers[] = {
        {"HTTPS://updates.velnor.example/ombrel/update.txt",
         {"updates.velnor.example", 0, "ombrel/update.txt"}},
        {"http://host:65535/a", {"host", 65535, "a", false}},
    };
    for (const auto& [pszUrl, server] : aServers)
        EXPECT_EQ(ParseUpdateUrl(pszUrl), server) << pszUrl;
    for (const char* pszUrl :
         {"httpss://host/a", "http://host", "http://host/", "http:///a", "http://host:0/a",
          "http://host:65536/a", "http://host:/a", "http://host:80x/a", "http://ho st/a",
          "http://user@host/a", "http://host/a b", "http://host/a\r\nX: y"})
        EXPECT_EQ(ParseUpdateUrl(pszUrl), std::nullopt) << pszUrl;
}

// The demo may ask a plain server for tests of the parsing rules, but a redirect never leads to
// plain HTTP, not even from there.
TEST(RedirectTargetTest, NeverLeavesHttps) {
    const UpdateServer plain{"localhost", 8080, "a", false};
    EXPECT_EQ(ResolveRedirect(plain, "/b"), std::nullopt);
    EXPECT_EQ(ResolveRedirect(plain, "https://localhost/b"), (UpdateServer{"localhost", 0, "b"}));
}

std::string Replaced(std::string strText, const std::string& strFrom, const std::string& strTo) {
    return strText.replace(strText.find(strFrom), strFrom.size(), strTo);
}

// Only a description signed with the key the program carries is trusted, and what it shows is
// exactly the text that was signed.
TEST_F(UpdateFetchTest, OnlyTheSignedTextOfTheCarriedKeyIsShownOrKept) {
    const std::string strTrailer = NEWER_BODY.substr(NEWER_TEXT.size());
    const std::pair<std::string, bool> aCases[] = {
        {NEWER_BODY.substr(0, NEWER_BODY.size() - 2) + "\n", true},
        {NEWER_BODY.substr(0, NEWER_BODY.size() - 2), true},
        {NEWER_TEXT, false},
        {Replaced(NEWER_BODY, "4.3", "6.6"), false},
        {Signed(NEWER_TEXT, TestKey(2)), false},
        {NEWER_BODY + "Download it at evil.example\r\n", false},
        {Signed("12/15/26 news"), false},
        {Replaced(NEWER_BODY, strTrailer, strTrailer.substr(1)), false},
        {NEWER_BODY.substr(0, NEWER_BODY.size() - 3) + "g\r\n", false},
    };
    for (const auto& [strBody, bTrusted] : aCases) {
        SCOPED_TRACE(strBody);
        Plant(UPDATE_VALUE_LAST_SUCCESS, "11/30/26");
        m_http.Serve(strBody);
        EXPECT_EQ(m_check.CheckForUpdate(), bTrusted ? UPDATE_SHOW_TEXT : UPDATE_FAILED);
        EXPECT_EQ(m_check.Body(), bTrusted ? NEWER_TEXT : "");
        EXPECT_EQ(Stored(UPDATE_VALUE_LAST_SUCCESS), Bytes(bTrusted ? "12/15/26" : "11/30/26"));
    }
}

TEST(PublicKeyTest, ReadsAnUncompressedPointOnly) {
    EXPECT_TRUE(ParsePublicKey("04" + std::string(128, 'a')).has_value());
    EXPECT_TRUE(ParsePublicKey("04" + std::string(128, 'F')).has_value());
    for (const std::string& strHex :
         {"02" + std::string(128, 'a'), "04" + std::string(127, 'a'), "04" + std::string(130, 'a'),
          "04" + std::string(127, 'a') + "x", std::string()})
        EXPECT_EQ(ParsePublicKey(strHex), std::nullopt) << strHex;
}

TEST(BuiltInUpdateConfigTest, AsksOverHttpsWithAKeyAndTheReleaseDateOfTheBuild) {
    const UpdateConfig config = BuiltInUpdateConfig();
    EXPECT_TRUE(config.server.bSecure && !config.server.strHost.empty());
    EXPECT_EQ(config.publicKey, ParsePublicKey(QV_UPDATE_PUBLIC_KEY));
    EXPECT_EQ(config.releaseDate,
              (CalendarDate{QV_RELEASE_YEAR, QV_RELEASE_MONTH, QV_RELEASE_DAY}));
}

} // namespace
} // namespace qv::test
