// The About box's controls, what each kind of check shows, and the checks on their worker threads:
// the progress window, a close request, Escape, and the automatic check at start.
#include "app/BuildConfig.h"
#include "app/Texts.h"
#include "tests/support/AppFixture.h"
#include "tests/support/SimFixture.h"
#include "tests/support/UpdateFixture.h"
#include "ui/AboutDlg.h"
#include "ui/Commands.h"
#include "update/QuickUpdateDlg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace qv::test {
namespace {

const std::string NEWER = "12/15/26 Quorvex 4.3\r\n";
const std::vector<std::string> NEWER_SHOWN{"new version: " + NEWER};
constexpr int NOT_ENDED = -1;

class CFakeProgressView : public CProgressView {
public:
    void SetProgressRange(int nHigh) override { m_nHigh = nHigh; }
    void SetProgressPos(int nPos) override { m_aPositions.push_back(nPos); }
    void SetTickTimer(int nPeriodMs) override { m_nPeriodMs = nPeriodMs; }
    void KillTickTimer() override { m_nPeriodMs = 0; }
    void EndProgress(int nResult) override { m_nEnded = nResult; }

    int m_nHigh = 0;
    int m_nPeriodMs = 0; // 0 while no timer runs
    std::vector<int> m_aPositions;
    std::atomic<int> m_nEnded{NOT_ENDED}; // set on the check's worker
};

using Calls = std::vector<std::string>;

class CRecordingAboutView : public CAboutView {
public:
    void OpenUrlInBrowser(const std::string& strUrl) override {
        m_aCalls.push_back("browse " + strUrl);
    }
    void OpenAddress(const std::string& strAddress) override {
        m_aCalls.push_back("shell " + strAddress);
    }
    void RunProgressWindow() override { m_aCalls.push_back("progress"); }
    void EndDialog(int nResult) override { m_aCalls.push_back("end " + std::to_string(nResult)); }
    Calls m_aCalls;
};

class QuickUpdateTest : public CUpdateFixture {
protected:
    QuickUpdateTest() {
        Plant(UPDATE_VALUE_LAST_SUCCESS, "11/30/26");
        m_update.http.Serve(Signed(NEWER));
    }
    Calls After(int nControl) {
        m_aboutView.m_aCalls.clear();
        m_about.OnCommand(m_aboutView, nControl);
        return m_aboutView.m_aCalls;
    }

    CFakeProgressView m_window;
    CQuickUpdateDlg m_dlg{m_registry, REGKEY_CURRENT_USER, m_update.services};
    CAboutDlg m_about{m_dlg};
    CRecordingAboutView m_aboutView;
};

TEST_F(QuickUpdateTest, EachAboutControlDoesItsOneThingAndTheActiveOnesHaveToolTips) {
    EXPECT_EQ(After(IDC_ABOUT_WEB_LINK), Calls{"browse " QV_HOME_PAGE});
    EXPECT_EQ(After(IDC_ABOUT_SUPPORT_LINK), Calls{"shell mailto:" QV_SUPPORT_ADDRESS});
    EXPECT_EQ(After(IDC_ABOUT_CHECK_UPDATE), Calls{"progress"});
    EXPECT_EQ(After(IDC_ABOUT_CLOSE), Calls{"end 0"});
    EXPECT_EQ(After(IDC_ABOUT_TITLE), Calls{});

    EXPECT_EQ(m_about.ToolTipText(IDC_ABOUT_WEB_LINK), "Visit  Velnor Inc. home site");
    EXPECT_EQ(m_about.ToolTipText(IDC_ABOUT_SUPPORT_LINK), "Contact Quorvex support team");
    EXPECT_EQ(m_about.ToolTipText(IDC_ABOUT_CHECK_UPDATE),
              "Check for available updates on updates.velnor.example");
    for (const int nControl : {IDC_ABOUT_CLOSE, IDC_ABOUT_TITLE, 0})
        EXPECT_EQ(m_about.ToolTipText(nControl), "") << nControl;
    EXPECT_TRUE(CAboutDlg::IsLink(IDC_ABOUT_WEB_LINK));
    EXPECT_TRUE(CAboutDlg::IsLink(IDC_ABOUT_SUPPORT_LINK));
    EXPECT_FALSE(CAboutDlg::IsLink(IDC_ABOUT_CHECK_UPDATE));
}

// The bar measures time, not the download: it fills over a minute and then stands full. Escape
// lets the check go on, and a second press waits until it has ended.
TEST_F(QuickUpdateTest, TheBarFillsOverAMinuteAndAfterEscapeTheCheckGoesOn) {
    m_http.m_stallingStep = HttpStep::Read;
    m_dlg.OnInitDialog(m_window);
    ASSERT_GT(m_window.m_nPeriodMs, 0);
    const int nTicks = 60000 / m_window.m_nPeriodMs;
    for (int nTick = 1; nTick <= nTicks; ++nTick) {
        m_dlg.OnTimer(m_window);
        EXPECT_EQ(m_window.m_nPeriodMs > 0, nTick < nTicks) << "tick " << nTick;
    }
    const std::vector<int>& aPositions = m_window.m_aPositions;
    ASSERT_GE(aPositions.size(), 2u);
    EXPECT_TRUE(std::is_sorted(aPositions.begin(), aPositions.end()));
    EXPECT_GT(aPositions.front(), 0);
    EXPECT_LT(aPositions.end()[-2], m_window.m_nHigh);
    EXPECT_EQ(aPositions.back(), m_window.m_nHigh);

    ASSERT_TRUE(m_http.WaitForStall());
    m_dlg.OnWindowClosed();
    EXPECT_EQ(After(IDC_ABOUT_CHECK_UPDATE), Calls{});
    m_http.EndStall();
    ASSERT_TRUE(Eventually([this] { return !m_dlg.IsChecking(); }));
    EXPECT_EQ(m_update.view.Shown(), NEWER_SHOWN);
    EXPECT_EQ(m_window.m_nEnded, NOT_ENDED) << "the window had gone";
    EXPECT_EQ(After(IDC_ABOUT_CHECK_UPDATE), Calls{"progress"});
}

// A close request closes the check's Internet handle, and the others with it. The abandoned
// check's call goes on blocking, as one that closing its handle does not break; the next press
// starts a check of its own at once, which neither waits for it nor meets it.
TEST_F(QuickUpdateTest, ACloseRequestAbandonsAStalledCheckAndThePressStartsANewOne) {
    m_http.m_stallingStep = HttpStep::Read;
    m_http.m_bStallOutlivesClose = true;
    m_dlg.OnInitDialog(m_window);
    ASSERT_TRUE(m_http.WaitForStall());
    m_dlg.OnCloseRequest();
    m_dlg.OnWindowClosed();
    EXPECT_TRUE(m_http.AllClosed());
    EXPECT_EQ(m_http.m_nEarlyCloses, 1) << "the Internet handle alone";

    EXPECT_EQ(After(IDC_ABOUT_CHECK_UPDATE), Calls{"progress"});
    CFakeProgressView secondWindow;
    m_dlg.OnInitDialog(secondWindow);
    EXPECT_TRUE(Eventually([&] { return secondWindow.m_nEnded == UPDATE_SHOW_TEXT; }));
    EXPECT_EQ(m_update.view.Shown(), NEWER_SHOWN);

    m_http.EndStall();
    ASSERT_TRUE(m_http.WaitForStallEnd());
    EXPECT_EQ(m_window.m_nEnded, NOT_ENDED);
    EXPECT_EQ(m_update.view.Shown().size(), 1u);
}

class UpdateOutcomeTest : public CUpdateFixture {};

TEST_F(UpdateOutcomeTest, OnDemandEveryOutcomeIsShownAtStartOnlyNews) {
    const std::string strMessage = "message: ";
    const std::tuple<std::string, int, std::string> aCases[] = {
        {NEWER, UPDATE_SHOW_TEXT, NEWER_SHOWN[0]},
        {"11/30/26 Quorvex 4.2\r\n", UPDATE_NOTHING_NEWER, strMessage + UPDATE_NOTHING_NEWER_TEXT},
        {"<html>", UPDATE_FAILED, strMessage + UPDATE_FAILED_TEXT},
    };
    for (const auto& [strText, nResult, strShown] : aCases) {
        SCOPED_TRACE(strShown);
        CRecordingUpdateView onDemand, atStart;
        Plant(UPDATE_VALUE_LAST_SUCCESS, "11/30/26");
        m_update.http.Serve(Signed(strText));
        EXPECT_EQ(RunManualCheck(m_check, onDemand), nResult);
        EXPECT_EQ(m_check.Body(), "") << "released once shown";
        Plant(UPDATE_VALUE_LAST_SUCCESS, "11/30/26");
        m_update.http.Serve(Signed(strText));
        RunAutomaticCheck(m_check, atStart);

        EXPECT_EQ(onDemand.Shown(), std::vector{strShown});
        EXPECT_EQ(atStart.Shown(),
                  nResult == UPDATE_SHOW_TEXT ? std::vector{strShown} : std::vector<std::string>{});
        EXPECT_EQ(m_check.Body(), "");
    }
}

class AutomaticCheckTest : public CAppFixture {
protected:
    void StartOnDay40After(const std::string& strLastCheck) {
        Registry().Put(REGKEY_CURRENT_USER, SETTINGS_KEY, UPDATE_VALUE_LAST_CHECK,
                       Bytes(strLastCheck));
        m_update.clock.m_nUtcDay = 40;
        m_update.http.Serve(Signed(NEWER));
        Construct().Startup();
    }
};

// A week after the last check, not before, the start asks the server and shows the news. The
// application and the services the check uses go at the end of the entry point: a check still
// waiting on the network is abandoned then, and ends before they do.
TEST_F(AutomaticCheckTest, OnlyADueCheckRunsAtStartAndOneStillWaitingAtTheEndIsAbandoned) {
    StartOnDay40After("33");
    m_pApp.reset();
    EXPECT_EQ(m_update.http.m_strOpened, "") << "no check ran";
    EXPECT_EQ(AppValue(REGKEY_CURRENT_USER, UPDATE_VALUE_LAST_CHECK), Bytes("33"));

    StartOnDay40After("32");
    EXPECT_EQ(AppValue(REGKEY_CURRENT_USER, UPDATE_VALUE_LAST_CHECK),
              Bytes(std::string("40\0\0\0", 5)));
    EXPECT_TRUE(Eventually([this] { return !m_update.view.Shown().empty(); }));
    EXPECT_EQ(m_update.view.Shown(), NEWER_SHOWN);
    m_pApp.reset();

    Registry().Put(REGKEY_CURRENT_USER, SETTINGS_KEY, UPDATE_VALUE_LAST_SUCCESS, Bytes("11/30/26"));
    m_update.http.m_stallingStep = HttpStep::Read;
    StartOnDay40After("32");
    ASSERT_TRUE(m_update.http.WaitForStall());
    m_pApp.reset();
    EXPECT_TRUE(m_update.http.WaitForStallEnd()) << "the abandon broke the stalled read";
    EXPECT_EQ(m_update.view.Shown(), NEWER_SHOWN) << "nothing more";
    EXPECT_EQ(AppValue(REGKEY_CURRENT_USER, UPDATE_VALUE_LAST_SUCCESS), Bytes("11/30/26"));
    EXPECT_EQ(m_sim.Shell().m_nExitCode, std::nullopt);
}

} // namespace
} // namespace qv::test
