// Checks on their worker threads: the progress window's bar and end, a close request that
// abandons a stalled check, a new check right after it, Escape that lets a check go on, and the
// automatic check at start.
#include "tests/support/AppFixture.h"
#include "tests/support/AspiMachine.h"
#include "tests/support/UpdateFixture.h"
#include "ui/AboutDlg.h"
#include "ui/Commands.h"
#include "update/QuickUpdateDlg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace qv::test {
namespace {

const std::string NEWER = "12/15/26 Quorvex 4.3\r\n";
// What a window that has not been ended shows.
constexpr int NOT_ENDED = -1;

template <class Predicate> bool WaitFor(Predicate done) {
    const auto deadline = std::chrono::steady_clock::now() + THREAD_WAIT_LIMIT;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class CFakeProgressView : public CProgressView {
public:
    void SetProgressRange(int nHigh) override { m_nHigh = nHigh; }
    void SetProgressPos(int nPos) override { m_aPositions.push_back(nPos); }
    void SetTickTimer(int nPeriodMs) override {
        m_nPeriodMs = nPeriodMs;
        m_bTimer = true;
    }
    void KillTickTimer() override { m_bTimer = false; }
    void EndProgress(int nResult) override { m_nEnded = nResult; }
    int WaitForEnd() {
        WaitFor([this] { return m_nEnded != NOT_ENDED; });
        return m_nEnded;
    }

    int m_nHigh = 0;
    int m_nPeriodMs = 0;
    bool m_bTimer = false;
    std::vector<int> m_aPositions;
    std::atomic<int> m_nEnded{NOT_ENDED}; // set on the check's worker
};

class CFakeAboutView : public CAboutView {
public:
    void OpenUrlInBrowser(const std::string&) override {}
    void OpenAddress(const std::string&) override {}
    void RunProgressWindow() override { ++m_nProgressWindows; }
    void EndDialog(int) override {}
    int m_nProgressWindows = 0;
};

class QuickUpdateTest : public CUpdateFixture {
protected:
    QuickUpdateTest() {
        Plant(UPDATE_VALUE_LAST_SUCCESS, "11/30/26");
        m_update.ServeSigned(NEWER);
    }
    bool CheckEnds() {
        return WaitFor([this] { return !m_dlg.IsChecking(); });
    }

    CFakeProgressView m_window;
    CQuickUpdateDlg m_dlg{m_registry, REGKEY_CURRENT_USER, m_update.services};
};

// The bar measures time, not the download: it fills over a minute and then stands full.
TEST_F(QuickUpdateTest, TheBarFillsOverAMinuteAndThenTheTimerStops) {
    m_http.m_failingStep = HttpStep::Connect;
    m_dlg.OnInitDialog(m_window);
    ASSERT_GT(m_window.m_nPeriodMs, 0);
    const int nTicks = 60000 / m_window.m_nPeriodMs;
    for (int nTick = 1; nTick <= nTicks; ++nTick) {
        m_dlg.OnTimer(m_window);
        EXPECT_EQ(m_window.m_bTimer, nTick < nTicks) << "tick " << nTick;
    }
    const std::vector<int>& aPositions = m_window.m_aPositions;
    ASSERT_GE(aPositions.size(), 2u);
    EXPECT_TRUE(std::is_sorted(aPositions.begin(), aPositions.end()));
    EXPECT_GT(aPositions.front(), 0);
    EXPECT_LT(aPositions.end()[-2], m_window.m_nHigh);
    EXPECT_EQ(aPositions.back(), m_window.m_nHigh);
    EXPECT_TRUE(CheckEnds());
}

TEST_F(QuickUpdateTest, TheWorkerShowsTheOutcomeAndThenEndsTheWindow) {
    m_dlg.OnInitDialog(m_window);
    EXPECT_EQ(m_window.WaitForEnd(), UPDATE_SHOW_TEXT);
    EXPECT_EQ(m_update.view.Shown(), std::vector<std::string>{"new version: " + NEWER});
    EXPECT_TRUE(CheckEnds());
    EXPECT_EQ(Stored(UPDATE_VALUE_LAST_SUCCESS), Bytes("12/15/26"));
}

TEST_F(QuickUpdateTest, ACloseRequestAbandonsAStalledCheckForGood) {
    m_http.m_stallingStep = HttpStep::Read;
    m_dlg.OnInitDialog(m_window);
    ASSERT_TRUE(m_http.WaitForStall());

    m_dlg.OnCloseRequest();
    m_dlg.OnWindowClosed();
    ASSERT_TRUE(m_http.WaitForStallEnd());
    EXPECT_EQ(m_update.view.Shown(), std::vector<std::string>{});
    EXPECT_EQ(m_window.m_nEnded, NOT_ENDED);
    EXPECT_EQ(Stored(UPDATE_VALUE_LAST_SUCCESS), Bytes("11/30/26"));
    EXPECT_TRUE(m_http.AllClosed());
    EXPECT_EQ(m_http.Closed().size(), 1u) << "the Internet handle took the others along";
}

// The abandoned check's call goes on blocking, as one that closing its handle does not break;
// the next press starts a check of its own at once, which neither waits for it nor meets it.
TEST_F(QuickUpdateTest, AfterAnAbandonThePressStartsANewCheckAtOnce) {
    m_http.m_stallingStep = HttpStep::Read;
    m_http.m_bStallOutlivesClose = true;
    m_dlg.OnInitDialog(m_window);
    ASSERT_TRUE(m_http.WaitForStall());
    m_dlg.OnCloseRequest();
    m_dlg.OnWindowClosed();

    CAboutDlg about(m_dlg);
    CFakeAboutView aboutView;
    about.OnCommand(aboutView, IDC_ABOUT_CHECK_UPDATE);
    EXPECT_EQ(aboutView.m_nProgressWindows, 1);
    CFakeProgressView secondWindow;
    m_dlg.OnInitDialog(secondWindow);
    EXPECT_EQ(secondWindow.WaitForEnd(), UPDATE_SHOW_TEXT);
    EXPECT_EQ(m_update.view.Shown(), std::vector<std::string>{"new version: " + NEWER});

    m_http.EndStall();
    ASSERT_TRUE(m_http.WaitForStallEnd());
    EXPECT_EQ(m_window.m_nEnded, NOT_ENDED);
    EXPECT_EQ(m_update.view.Shown().size(), 1u);
}

TEST_F(QuickUpdateTest, AfterEscapeTheCheckGoesOnAndASecondPressIsIgnored) {
    m_http.m_stallingStep = HttpStep::Read;
    m_dlg.OnInitDialog(m_window);
    ASSERT_TRUE(m_http.WaitForStall());
    m_dlg.OnWindowClosed();

    CAboutDlg about(m_dlg);
    CFakeAboutView aboutView;
    about.OnCommand(aboutView, IDC_ABOUT_CHECK_UPDATE);
    EXPECT_EQ(aboutView.m_nProgressWindows, 0);

    m_http.EndStall();
    ASSERT_TRUE(CheckEnds());
    EXPECT_EQ(m_update.view.Shown(), std::vector<std::string>{"new version: " + NEWER});
    EXPECT_EQ(m_window.m_nEnded, NOT_ENDED) << "the window had gone";
    about.OnCommand(aboutView, IDC_ABOUT_CHECK_UPDATE);
    EXPECT_EQ(aboutView.m_nProgressWindows, 1);
}

class AutomaticCheckTest : public CAppFixture {
protected:
    void PlantLastCheck(const std::string& strDay) {
        Registry().Put(REGKEY_CURRENT_USER, SETTINGS_KEY, UPDATE_VALUE_LAST_CHECK, REGTYPE_SZ,
                       std::vector<BYTE>(strDay.begin(), strDay.end()));
    }
};

TEST_F(AutomaticCheckTest, ADueCheckRunsAtConstructionAndShowsNews) {
    PlantLastCheck("32");
    m_update.clock.m_nUtcDay = 40;
    m_update.ServeSigned(NEWER);
    Construct().Startup();

    EXPECT_EQ(AppValue(REGKEY_CURRENT_USER, UPDATE_VALUE_LAST_CHECK),
              Bytes(std::string("40\0\0\0", 5)));
    EXPECT_TRUE(WaitFor([this] { return !m_update.view.Shown().empty(); }));
    EXPECT_EQ(m_update.view.Shown(), std::vector<std::string>{"new version: " + NEWER});
}

// The application and the services the check uses go at the end of the entry point: a check still
// waiting on the network is abandoned then, and ends before they do.
TEST_F(AutomaticCheckTest, ACheckStillWaitingAtTheEndIsAbandonedAndEndsFirst) {
    PlantLastCheck("32");
    m_update.clock.m_nUtcDay = 40;
    m_update.ServeSigned(NEWER);
    m_update.http.m_stallingStep = HttpStep::Read;
    Construct().Startup();
    ASSERT_TRUE(m_update.http.WaitForStall());
    m_pApp.reset();

    EXPECT_TRUE(m_update.http.WaitForStallEnd()) << "the abandon broke the stalled read";
    EXPECT_TRUE(m_update.view.Shown().empty());
    EXPECT_FALSE(AppValue(REGKEY_CURRENT_USER, UPDATE_VALUE_LAST_SUCCESS));
    EXPECT_EQ(m_sim.Shell().ExitCode(), std::nullopt);
}

TEST_F(AutomaticCheckTest, ACheckNotYetDueAsksNoServer) {
    PlantLastCheck("33");
    m_update.clock.m_nUtcDay = 40;
    Construct().Startup();
    m_pApp.reset();

    EXPECT_EQ(m_update.http.m_aIssued.size(), 0u);
    EXPECT_EQ(AppValue(REGKEY_CURRENT_USER, UPDATE_VALUE_LAST_CHECK), Bytes("33"));
}

} // namespace
} // namespace qv::test
