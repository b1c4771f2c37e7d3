// Checks on their worker threads: the progress window's bar and end, a close request that
// abandons a stalled check, a new check right after it, Escape that lets a check go on, and the
// automatic check at start.
#include "tests/support/AppFixture.h"
#include "tests/support/AspiMachine.h"
#include "tests/support/StandInUpdate.h"
#include "ui/AboutDlg.h"
#include "ui/Commands.h"
#include "update/QuickUpdateDlg.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace qv::test {
namespace {

const std::string NEWER = "12/15/26 Quorvex 4.3\r\n";

StoredValue Bytes(const std::string& strBytes) {
    return {REGTYPE_SZ, std::vector<BYTE>(strBytes.begin(), strBytes.end())};
}

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
    void EndProgress(int nResult) override {
        std::lock_guard lock(m_mutex);
        m_nEnded = nResult;
        m_ended.notify_all();
    }
    std::optional<int> WaitForEnd() {
        std::unique_lock lock(m_mutex);
        m_ended.wait_for(lock, THREAD_WAIT_LIMIT, [this] { return m_nEnded.has_value(); });
        return m_nEnded;
    }
    std::optional<int> Ended() {
        std::lock_guard lock(m_mutex);
        return m_nEnded;
    }

    int m_nHigh = 0;
    int m_nPeriodMs = 0;
    bool m_bTimer = false;
    std::vector<int> m_aPositions;

private:
    std::mutex m_mutex;
    std::condition_variable m_ended;
    std::optional<int> m_nEnded;
};

class CFakeAboutView : public CAboutView {
public:
    void OpenUrlInBrowser(const std::string&) override {}
    void OpenAddress(const std::string&) override {}
    void RunProgressWindow() override { ++m_nProgressWindows; }
    void EndDialog(int) override {}
    int m_nProgressWindows = 0;
};

class QuickUpdateTest : public ::testing::Test {
protected:
    QuickUpdateTest() {
        const StoredValue lastSuccess = Bytes("11/30/26");
        m_registry.Put(REGKEY_CURRENT_USER, SETTINGS_KEY, UPDATE_VALUE_LAST_SUCCESS,
                       lastSuccess.dwType, lastSuccess.aData);
        m_update.ServeSigned(NEWER);
    }
    std::optional<StoredValue> LastSuccess() const {
        return m_registry.Get(REGKEY_CURRENT_USER, SETTINGS_KEY, UPDATE_VALUE_LAST_SUCCESS);
    }
    bool CheckEnds() {
        return WaitFor([this] { return !m_dlg.IsChecking(); });
    }

    CMemoryRegistry m_registry;
    CStandInUpdate m_update;
    CFakeProgressView m_window;
    CQuickUpdateDlg m_dlg{m_registry, REGKEY_CURRENT_USER, m_update.services};
};

TEST_F(QuickUpdateTest, TheBarFillsOverAMinuteAndThenTheTimerStops) {
    m_update.http.m_failingStep = HttpStep::Connect;
    m_dlg.OnInitDialog(m_window);
    EXPECT_EQ(m_window.m_nHigh, 1024);
    EXPECT_EQ(m_window.m_nPeriodMs, 200);
    for (int nTick = 1; nTick <= 300; ++nTick) {
        m_dlg.OnTimer(m_window);
        EXPECT_EQ(m_window.m_bTimer, nTick < 300) << "tick " << nTick;
    }
    EXPECT_EQ(m_window.m_aPositions.size(), 300u) << "opening and 299 ticks set the bar";
    EXPECT_EQ(m_window.m_aPositions[1], 6);
    EXPECT_EQ(m_window.m_aPositions[149], 512);
    EXPECT_LT(m_window.m_aPositions[298], 1024);
    EXPECT_EQ(m_window.m_aPositions[299], 1024);
    EXPECT_TRUE(CheckEnds());
}

TEST_F(QuickUpdateTest, TheWorkerShowsTheOutcomeAndThenEndsTheWindow) {
    m_dlg.OnInitDialog(m_window);
    EXPECT_EQ(m_window.WaitForEnd(), UPDATE_SHOW_TEXT);
    EXPECT_EQ(m_update.view.Shown(), std::vector<std::string>{"new version: " + NEWER});
    EXPECT_TRUE(CheckEnds());
    EXPECT_EQ(LastSuccess(), Bytes("12/15/26"));
}

TEST_F(QuickUpdateTest, ACloseRequestAbandonsAStalledCheckForGood) {
    m_update.http.m_stallingStep = HttpStep::Read;
    m_dlg.OnInitDialog(m_window);
    ASSERT_TRUE(m_update.http.WaitForStall());

    m_dlg.OnCloseRequest();
    m_dlg.OnWindowClosed();
    ASSERT_TRUE(m_update.http.WaitForStallEnd());
    EXPECT_EQ(m_update.view.Shown(), std::vector<std::string>{});
    EXPECT_EQ(m_window.Ended(), std::nullopt);
    EXPECT_EQ(LastSuccess(), Bytes("11/30/26"));
    EXPECT_TRUE(m_update.http.AllClosed());
    EXPECT_EQ(m_update.http.Closed().size(), 1u) << "the Internet handle took the others along";
}

// The abandoned check's call goes on blocking, as one that closing its handle does not break;
// the next press starts a check of its own at once, which neither waits for it nor meets it.
TEST_F(QuickUpdateTest, AfterAnAbandonThePressStartsANewCheckAtOnce) {
    m_update.http.m_stallingStep = HttpStep::Read;
    m_update.http.m_bStallOutlivesClose = true;
    m_dlg.OnInitDialog(m_window);
    ASSERT_TRUE(m_update.http.WaitForStall());
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

    m_update.http.EndStall();
    ASSERT_TRUE(m_update.http.WaitForStallEnd());
    EXPECT_EQ(m_window.Ended(), std::nullopt);
    EXPECT_EQ(m_update.view.Shown().size(), 1u);
}

TEST_F(QuickUpdateTest, AfterEscapeTheCheckGoesOnAndASecondPressIsIgnored) {
    m_update.http.m_stallingStep = HttpStep::Read;
    m_dlg.OnInitDialog(m_window);
    ASSERT_TRUE(m_update.http.WaitForStall());
    m_dlg.OnWindowClosed();

    CAboutDlg about(m_dlg);
    CFakeAboutView aboutView;
    about.OnCommand(aboutView, IDC_ABOUT_CHECK_UPDATE);
    EXPECT_EQ(aboutView.m_nProgressWindows, 0);

    m_update.http.EndStall();
    ASSERT_TRUE(CheckEnds());
    EXPECT_EQ(m_update.view.Shown(), std::vector<std::string>{"new version: " + NEWER});
    EXPECT_EQ(m_window.Ended(), std::nullopt) << "the window had gone";
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
