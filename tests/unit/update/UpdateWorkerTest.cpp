// What each kind of check shows for each outcome, and the address a test run may give in place of
// the maker's server.
#include "app/Texts.h"
#include "tests/support/StandInUpdate.h"
#include "tests/support/UpdateFixture.h"
#include "update/UpdateConfig.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace qv::test {
namespace {

const std::string NEWER = "12/15/26 Quorvex 4.3\r\n";
const std::string SAME = "11/30/26 Quorvex 4.2\r\n";

struct OutcomeCase {
    const char* pszName;
    std::optional<std::string> strServed; // nullopt: the server cannot be reached
    bool bSigned;
    std::optional<int> nManualResult;
    std::vector<std::string> aManualShown;
    std::vector<std::string> aAutomaticShown;
    friend void PrintTo(const OutcomeCase& test, std::ostream* pOut) { *pOut << test.pszName; }
};

class OutcomeTest : public CUpdateFixture, public ::testing::WithParamInterface<OutcomeCase> {
protected:
    void SetUp() override {
        Plant(UPDATE_VALUE_LAST_SUCCESS, "11/30/26");
        if (!GetParam().strServed)
            m_http.m_failingStep = HttpStep::Connect;
        else if (GetParam().bSigned)
            m_update.ServeSigned(*GetParam().strServed);
        else
            m_http.Serve(*GetParam().strServed);
    }
    CRecordingUpdateView& m_view = m_update.view;
};

TEST_P(OutcomeTest, OnDemandEveryOutcomeIsShown) {
    EXPECT_EQ(RunManualCheck(m_check, m_view), GetParam().nManualResult);
    EXPECT_EQ(m_view.Shown(), GetParam().aManualShown);
    EXPECT_EQ(m_check.Body(), "") << "released once shown";
}

TEST_P(OutcomeTest, AtStartOnlyNewsIsShown) {
    RunAutomaticCheck(m_check, m_view);
    EXPECT_EQ(m_view.Shown(), GetParam().aAutomaticShown);
    EXPECT_EQ(m_check.Body(), "");
}

const std::string NEWER_SHOWN = "new version: " + NEWER;
const std::string NOTHING_SHOWN = std::string("message: ") + UPDATE_NOTHING_NEWER_TEXT;
const std::string FAILED_SHOWN = std::string("message: ") + UPDATE_FAILED_TEXT;

INSTANTIATE_TEST_SUITE_P(
    Outcomes, OutcomeTest,
    ::testing::Values(
        OutcomeCase{"newer", NEWER, true, UPDATE_SHOW_TEXT, {NEWER_SHOWN}, {NEWER_SHOWN}},
        OutcomeCase{"not_newer", SAME, true, UPDATE_NOTHING_NEWER, {NOTHING_SHOWN}, {}},
        OutcomeCase{"no_description", "<html>", true, UPDATE_FAILED, {FAILED_SHOWN}, {}},
        OutcomeCase{"unsigned", NEWER, false, UPDATE_FAILED, {FAILED_SHOWN}, {}},
        OutcomeCase{"unreachable", std::nullopt, false, UPDATE_FAILED, {FAILED_SHOWN}, {}}),
    [](const auto& test) { return std::string(test.param.pszName); });

class AbandonTest : public CUpdateFixture {};

TEST_F(AbandonTest, AnAbandonedCheckShowsAndStoresNothing) {
    m_update.ServeSigned(NEWER);
    m_check.Abandon();
    CRecordingUpdateView& view = m_update.view;

    EXPECT_EQ(RunManualCheck(m_check, view), std::nullopt);
    EXPECT_EQ(view.Shown(), std::vector<std::string>{});
    EXPECT_EQ(Stored(UPDATE_VALUE_LAST_SUCCESS), std::nullopt);
    EXPECT_TRUE(m_http.AllClosed());
}

struct UrlCase {
    const char* pszUrl;
    std::optional<UpdateServer> server;
    friend void PrintTo(const UrlCase& test, std::ostream* pOut) { *pOut << test.pszUrl; }
};

class UpdateUrlTest : public ::testing::TestWithParam<UrlCase> {};

TEST_P(UpdateUrlTest, OnlyAWholeHttpsOrHttpAddressNamesAServer) {
    EXPECT_EQ(ParseUpdateUrl(GetParam().pszUrl), GetParam().server);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, UpdateUrlTest,
    ::testing::Values(
        UrlCase{"https://localhost:8123/desc/ombrel/update.txt",
                UpdateServer{"localhost", 8123, "desc/ombrel/update.txt"}},
        UrlCase{"HTTPS://updates.velnor.example/ombrel/update.txt",
                UpdateServer{"updates.velnor.example", 0, "ombrel/update.txt"}},
        UrlCase{"http://127.0.0.1:8123/desc/ombrel/update.txt",
                UpdateServer{"127.0.0.1", 8123, "desc/ombrel/update.txt", false}},
        UrlCase{"http://host:65535/a", UpdateServer{"host", 65535, "a", false}},
        UrlCase{"httpss://host/a", std::nullopt}, UrlCase{"ftp://host/a", std::nullopt},
        UrlCase{"http://host", std::nullopt}, UrlCase{"http://host/", std::nullopt},
        UrlCase{"http:///a", std::nullopt}, UrlCase{"http://host:0/a", std::nullopt},
        UrlCase{"http://host:65536/a", std::nullopt}, UrlCase{"http://host:/a", std::nullopt},
        UrlCase{"http://host:80x/a", std::nullopt}, UrlCase{"http://ho st/a", std::nullopt},
        UrlCase{"http://user@host/a", std::nullopt}, UrlCase{"http://host/a b", std::nullopt},
        UrlCase{"http://host/a\r\nX: y", std::nullopt}, UrlCase{"", std::nullopt}));

// The demo may ask a plain server for tests of the parsing rules, but a redirect never leads to
// plain HTTP, not even from there.
TEST(RedirectTargetTest, NeverLeavesHttps) {
    const UpdateServer plain{"localhost", 8080, "a", false};
    EXPECT_EQ(ResolveRedirect(plain, "/b"), std::nullopt);
    EXPECT_EQ(ResolveRedirect(plain, "https://localhost/b"), (UpdateServer{"localhost", 0, "b"}));
}

} // namespace
} // namespace qv::test
