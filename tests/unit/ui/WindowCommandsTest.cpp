// Lock, tray, the two switches, the notification-area icon and the commands that only reach the
// window or the shell.
#include "app/BuildConfig.h"
#include "tests/support/DialogFixture.h"
#include "ui/TrayMenu.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qv::test {
namespace {

using ::testing::Contains;
using TrayCalls = std::vector<sim::SimTrayCall>;

class WindowCommandsTest : public CDialogFixture {
protected:
    using CDialogFixture::CDialogFixture;

    TrayCalls TrayOf(char cLetter) { return m_sim.Machine().Tray(cLetter)->Calls(); }
    void ExpectLockShown(bool bEnabled, bool bLocked) {
        EXPECT_EQ(m_view.Button(ID_LOCK), (BUTTON_STATE{bEnabled, bLocked}));
        EXPECT_EQ(m_view.MenuItem(ID_POPUP_LOCK), (MENU_ITEM_STATE{bLocked, false}));
        EXPECT_EQ(m_view.MenuItem(ID_MENU_LOCK), (MENU_ITEM_STATE{bLocked, false}));
    }
};

TEST_F(WindowCommandsTest, LockTogglesARemovableDrivesLockAndEveryMarkFollowsIt) {
    Start();
    Command(ID_LOCK);
    ExpectLockShown(true, true);
    Command(ID_POPUP_LOCK);
    ExpectLockShown(true, false);
    Command(ID_MENU_LOCK);
    ExpectLockShown(true, true);
    EXPECT_EQ(TrayOf('E'), (TrayCalls{{sim::SimTrayOp::PreventRemoval},
                                      {sim::SimTrayOp::AllowRemoval},
                                      {sim::SimTrayOp::PreventRemoval}}));

    // Another drive shows its own lock on the button; the menus wait for the next Lock.
    Choose(1);
    EXPECT_EQ(m_view.Button(ID_LOCK), (BUTTON_STATE{true, false}));
    EXPECT_TRUE(m_view.MenuItem(ID_POPUP_LOCK).bChecked);
}

class FixedDriveTest : public WindowCommandsTest {
protected:
    FixedDriveTest()
        : WindowCommandsTest(NtMachine(
              {CdromWith("E:\\", [](sim::SimCdromConfig& c) { c.bRemovable = false; })})) {}
};

TEST_F(FixedDriveTest, LockChangesNothingOnADriveWithoutARemovableMedium) {
    Start();
    EXPECT_EQ(m_view.Button(ID_LOCK), (BUTTON_STATE{false, false}));
    Command(ID_LOCK);
    ExpectLockShown(false, false);
    EXPECT_TRUE(TrayOf('E').empty());
}

struct TrayCase {
    int nCommand;
    sim::SimTrayOp op;
};

class TrayCommandTest : public WindowCommandsTest,
                        public ::testing::WithParamInterface<TrayCase> {};

TEST_P(TrayCommandTest, MovesTheSelectedDrivesTray) {
    Start();
    Choose(1);
    Command(GetParam().nCommand);
    ASSERT_TRUE(Drive(1).WaitForTrayThreads(THREAD_WAIT_LIMIT));
    EXPECT_THAT(TrayOf('G'), Contains(sim::SimTrayCall{GetParam().op}));
    EXPECT_TRUE(TrayOf('E').empty());
}

INSTANTIATE_TEST_SUITE_P(Commands, TrayCommandTest,
                         ::testing::Values(TrayCase{ID_EJECT, sim::SimTrayOp::EjectMedia},
                                           TrayCase{ID_POPUP_EJECT, sim::SimTrayOp::EjectMedia},
                                           TrayCase{ID_MENU_EJECT, sim::SimTrayOp::EjectMedia},
                                           TrayCase{ID_LOAD, sim::SimTrayOp::LoadMedia},
                                           TrayCase{ID_POPUP_LOAD, sim::SimTrayOp::LoadMedia},
                                           TrayCase{ID_MENU_LOAD, sim::SimTrayOp::LoadMedia}));

TEST_F(WindowCommandsTest, KeepSpeedSwitchesTheTimerBothMarksAndTheStoredValue) {
    Start();
    ASSERT_TRUE(m_view.m_bTimerRunning);
    for (const int nCommand : {ID_MENU_KEEP_SPEED, ID_POPUP_KEEP_SPEED, ID_POPUP_KEEP_SPEED}) {
        const bool bOn = !m_view.m_bTimerRunning;
        Command(nCommand);
        EXPECT_EQ(m_view.m_bTimerRunning, bOn);
        EXPECT_EQ(m_pApp->m_bKeepSpeed, bOn);
        EXPECT_EQ(AppDword("Keep_Speed"), bOn ? 1u : 0u);
        EXPECT_EQ(m_view.MenuItem(ID_POPUP_KEEP_SPEED), (MENU_ITEM_STATE{bOn, false}));
        EXPECT_EQ(m_view.MenuItem(ID_MENU_KEEP_SPEED), (MENU_ITEM_STATE{bOn, false}));
    }
}

TEST_F(WindowCommandsTest, RunAtBootDeletesAndWritesTheRunEntryInTurn) {
    Start();
    const auto runEntry = [this] {
        return m_sim.Registry().Get(REGKEY_CURRENT_USER, APP_RUN_KEY, APP_NAME).has_value();
    };
    ASSERT_TRUE(runEntry());
    Command(IDC_RUN_ON_BOOT);
    EXPECT_FALSE(runEntry());
    EXPECT_EQ(AppDword("RunOnboot"), 0u);
    Command(IDC_RUN_ON_BOOT);
    EXPECT_TRUE(runEntry());
    EXPECT_EQ(AppDword("RunOnboot"), 1u);
}

struct TrayNotifyCase {
    const char* pszWhat;
    std::uintptr_t nIcon;
    std::intptr_t nMouse;
    std::vector<std::string> aCalls;
    bool bEndsBootMode;
};

void PrintTo(const TrayNotifyCase& param, std::ostream* pOut) {
    *pOut << param.pszWhat;
}

class TrayNotifyTest : public WindowCommandsTest,
                       public ::testing::WithParamInterface<TrayNotifyCase> {};

TEST_P(TrayNotifyTest, AnswersOnlyButtonPresses) {
    Start();
    m_pApp->m_bBootMode = true;
    m_view.m_aCalls.clear();
    m_pDlg->OnTrayNotify(GetParam().nIcon, GetParam().nMouse);
    EXPECT_EQ(m_view.m_aCalls, GetParam().aCalls);
    EXPECT_EQ(m_pApp->m_bBootMode, !GetParam().bEndsBootMode);
}

constexpr std::intptr_t MOUSE_LBUTTONUP = 0x0202;
constexpr std::intptr_t MOUSE_LBUTTONDBLCLK = 0x0203;
constexpr std::intptr_t MOUSE_MOVE = 0x0200;

INSTANTIATE_TEST_SUITE_P(
    Messages, TrayNotifyTest,
    ::testing::Values(
        TrayNotifyCase{"left press", ID_TRAY_ICON, TRAY_MOUSE_LBUTTONDOWN, {"RestoreWindow"}, true},
        TrayNotifyCase{"left press on another icon", 7, TRAY_MOUSE_LBUTTONDOWN, {}, true},
        TrayNotifyCase{
            "right press", ID_TRAY_ICON, TRAY_MOUSE_RBUTTONDOWN, {"ShowTrayMenu"}, false},
        TrayNotifyCase{"release", ID_TRAY_ICON, MOUSE_LBUTTONUP, {}, false},
        TrayNotifyCase{"double click", ID_TRAY_ICON, MOUSE_LBUTTONDBLCLK, {}, false},
        TrayNotifyCase{"move", ID_TRAY_ICON, MOUSE_MOVE, {}, false}));

struct WindowCommandCase {
    int nCommand;
    std::string strCall;
};

class WindowCommandTest : public WindowCommandsTest,
                          public ::testing::WithParamInterface<WindowCommandCase> {};

TEST_P(WindowCommandTest, ReachesTheWindowOrTheShell) {
    Start();
    m_view.m_aCalls.clear();
    Command(GetParam().nCommand);
    EXPECT_EQ(m_view.m_aCalls, std::vector<std::string>{GetParam().strCall});
}

INSTANTIATE_TEST_SUITE_P(
    Commands, WindowCommandTest,
    ::testing::Values(
        WindowCommandCase{ID_POPUP_ABOUT, "RunAbout"}, WindowCommandCase{ID_MENU_ABOUT, "RunAbout"},
        WindowCommandCase{ID_POPUP_CONTACT, "OpenAddress mailto:" QV_SUPPORT_ADDRESS},
        WindowCommandCase{ID_MENU_CONTACT, "OpenAddress mailto:" QV_SUPPORT_ADDRESS},
        WindowCommandCase{ID_POPUP_HELP, "OpenHelp"}, WindowCommandCase{ID_HELP_INDEX, "OpenHelp"},
        WindowCommandCase{ID_POPUP_RESTORE, "RestoreWindow"},
        WindowCommandCase{ID_POPUP_EXIT, "EndDialog 0"},
        WindowCommandCase{ID_MENU_EXIT, "EndDialog 0"}, WindowCommandCase{ID_HIDE, "HideWindow"}));

// Enter and Escape (IDOK, IDCANCEL) are left to the standard handling, which ends the dialog.
TEST_F(WindowCommandsTest, EveryPopupItemReachesAHandlerWhileEnterAndEscapeAreNotTaken) {
    Start();
    for (const TRAY_MENU_ITEM& item : TrayMenuItems()) {
        if (item.nCommand != 0) {
            EXPECT_TRUE(m_pDlg->OnCommand(item.nCommand)) << item.pszText;
        }
    }
    for (const int nCommand : {1, 2})
        EXPECT_FALSE(m_pDlg->OnCommand(nCommand));
}

TEST_F(WindowCommandsTest, CloseHidesThePaintHidesOnlyInBootModeAndDestroyCleansUp) {
    Start();
    m_pDlg->OnPaint();
    EXPECT_TRUE(m_view.m_bVisible);
    m_pDlg->OnClose();
    EXPECT_FALSE(m_view.m_bVisible);
    m_pApp->m_bBootMode = true;
    m_view.RestoreWindow();
    m_pDlg->OnPaint();
    EXPECT_FALSE(m_view.m_bVisible);

    m_pDlg->OnDestroy();
    EXPECT_FALSE(m_view.m_bTrayIcon);
    EXPECT_FALSE(m_view.m_bTimerRunning);
    EXPECT_FALSE(m_pDlg->IsReady());
}

} // namespace
} // namespace qv::test
