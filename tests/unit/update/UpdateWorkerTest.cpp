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

class UpdateWorkerTest : public CUpdateFixture {};

// The server cannot be reached when there is no body to serve.
TEST_F(UpdateWorkerTest, OnDemandEveryOutcomeIsShownAtStartOnlyNews) {
    const std::string strNewerShown = "new version: " + NEWER;
    const std::string strNothingShown = std::string("message: ") + UPDATE_NOTHING_NEWER_TEXT;
    const std::string strFailedShown = std::string("message: ") + UPDATE_FAILED_TEXT;
    const struct {
        std::optional<std::string> strBody;
        std::optional<int> nManualResult;
        std::string strManualShown;
        bool bShownAtStart;
    } aCases[] = {
        {TestKey().Signed(NEWER), UPDATE_SHOW_TEXT, strNewerShown, true},
        {TestKey().Signed(SAME), UPDATE_NOTHING_NEWER, strNothingShown, false},
        {TestKey().Signed("<html>"), UPDATE_FAILED, strFailedShown, false},
        {NEWER, UPDATE_FAILED, strFailedShown, false},
        {std::nullopt, UPDATE_FAILED, strFailedShown, false},
    };
    for (const auto& test : aCases) {
        for (const bool bManual : {true, false}) {
            SCOPED_TRACE(test.strManualShown + (bManual ? " on demand" : " at start"));
            Plant(UPDATE_VALUE_LAST_SUCCESS, "11/30/26");
            m_http.Serve(test.strBody.value_or(""));
            m_http.m_failingStep = test.strBody ? std::nullopt : std::optional(HttpStep::Connect);
            CRecordingUpdateView view;
            if (bManual)
                EXPECT_EQ(RunManualCheck(m_check, view), test.nManualResult);
            else
                RunAutomaticCheck(m_check, view);
            EXPECT_EQ(view.Shown(), bManual || test.bShownAtStart
                                        ? std::vector<std::string>{test.strManualShown}
                                        : std::vector<std::string>{});
            EXPECT_EQ(m_check.Body(), "") << "released once shown";
        }
    }
}

TEST_F(UpdateWorkerTest, AnAbandonedCheckShowsAndStoresNothing) {
    m_update.ServeSigned(NEWER);
    m_check.Abandon();
    CRecordingUpdateView& view = m_update.view;

    EXPECT_EQ(RunManualCheck(m_check, view), std::nullopt);
    EXPECT_EQ(view.Shown(), std::vector<std::string>{});
    EXPECT_EQ(Stored(UPDATE_VALUE_LAST_SUCCESS), std::nullopt);
    EXPECT_TRUE(m_http.AllClosed());
}

TEST(UpdateUrlTest, OnlyAWholeHttpsOrHttpAddressNamesAServer) {
    const std::pair<const char*, std::optional<UpdateServer>> aCases[] = {
        {"https://localhost:8123/desc/ombrel/update.txt",
         UpdateServer{"localhost", 8123, "desc/ombrel/update.txt"}},
        {"HTTPS://updates.velnor.example/ombrel/update.txt",
         UpdateServer{"updates.velnor.example", 0, "ombrel/update.txt"}},
        {"http://127.0.0.1:8123/desc/ombrel/update.txt",
         UpdateServer{"127.0.0.1", 8123, "desc/ombrel/update.txt", false}},
        {"http://host:65535/a", UpdateServer{"host", 65535, "a", false}},
        {"httpss://host/a", std::nullopt},
        {"http://host", std::nullopt},
        {"http://host/", std::nullopt},
        {"http:///a", std::nullopt},
        {"http://host:0/a", std::nullopt},
        {"http://host:65536/a", std::nullopt},
        {"http://host:/a", std::nullopt},
        {"http://host:80x/a", std::nullopt},
        {"http://ho st/a", std::nullopt},
        {"http://user@host/a", std::nullopt},
        {"http://host/a b", std::nullopt},
        {"http://host/a\r\nX: y", std::nullopt},
    };
    for (const auto& [pszUrl, server] : aCases)
        EXPECT_EQ(ParseUpdateUrl(pszUrl), server) << pszUrl;
}

// The demo may ask a plain server for tests of the parsing rules, but a redirect never leads to
// plain HTTP, not even from there.
TEST(RedirectTargetTest, NeverLeavesHttps) {
    const UpdateServer plain{"localhost", 8080, "a", false};
    EXPECT_EQ(ResolveRedirect(plain, "/b"), std::nullopt);
    EXPECT_EQ(ResolveRedirect(plain, "https://localhost/b"), (UpdateServer{"localhost", 0, "b"}));
}

} // namespace
} // namespace qv::test
