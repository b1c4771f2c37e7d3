// Lock, tray, the two switches, the notification-area icon and the commands that only reach the
// window or the shell.
#include "app/BuildConfig.h"
#include "tests/support/DialogFixture.h"
#include "ui/TrayMenu.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qv::test {
namespace {

using TrayCalls = std::vector<sim::SimTrayCall>;

class WindowCommandsTest : public CDialogFixture {
protected:
    TrayCalls TrayOf(char cLetter) { return m_sim->Machine().Tray(cLetter)->Calls(); }
    void ExpectLockShown(bool bEnabled, bool bLocked) {
        EXPECT_EQ(m_view.Button(ID_LOCK), (BUTTON_STATE{bEnabled, bLocked}));
        EXPECT_EQ(m_view.MenuItem(ID_POPUP_LOCK), (MENU_ITEM_STATE{bLocked, false}));
        EXPECT_EQ(m_view.MenuItem(ID_MENU_LOCK), (MENU_ITEM_STATE{bLocked, false}));
    }
};

TEST_F(WindowCommandsTest, LockEjectAndLoadReachTheSelectedDrivesTray) {
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

    // Another drive shows its own lock on the button; the menus wait for the next Lock. Eject
    // and Load move the selected drive's tray.
    Choose(1);
    EXPECT_EQ(m_view.Button(ID_LOCK), (BUTTON_STATE{true, false}));
    EXPECT_TRUE(m_view.MenuItem(ID_POPUP_LOCK).first);
    const std::pair<int, sim::SimTrayOp> aCommands[] = {
        {ID_EJECT, sim::SimTrayOp::EjectMedia},      {ID_POPUP_EJECT, sim::SimTrayOp::EjectMedia},
        {ID_MENU_EJECT, sim::SimTrayOp::EjectMedia}, {ID_LOAD, sim::SimTrayOp::LoadMedia},
        {ID_POPUP_LOAD, sim::SimTrayOp::LoadMedia},  {ID_MENU_LOAD, sim::SimTrayOp::LoadMedia}};
    for (const auto& [nCommand, op] : aCommands) {
        SCOPED_TRACE(nCommand);
        Command(nCommand);
        ASSERT_TRUE(Drive(1).Tray().WaitForTrayThreads(THREAD_WAIT_LIMIT));
        ASSERT_FALSE(TrayOf('G').empty());
        EXPECT_EQ(TrayOf('G').back(), sim::SimTrayCall{op});
    }
    EXPECT_EQ(TrayOf('E').size(), 3u);

    Use(NtMachine({CdromWith("E:\\", [](sim::SimCdromConfig& c) { c.bRemovable = false; })}));
    Start();
    Command(ID_LOCK);
    ExpectLockShown(false, false);
    EXPECT_TRUE(TrayOf('E').empty()) << "no lock on a drive without a removable medium";
}

// Every item of the notification icon's menu reaches a handler; Enter and Escape (IDOK,
// IDCANCEL) are left to the standard handling, which ends the dialog. Only a button press on the
// program's own icon restores the window; a left press ends boot mode, in which the window hides
// whenever it paints.
TEST_F(WindowCommandsTest, CommandsThatReachTheWindowTheShellOrTheSwitches) {
    const std::pair<int, std::string> aCommands[] = {
        {ID_POPUP_ABOUT, "RunAbout"},
        {ID_MENU_ABOUT, "RunAbout"},
        {ID_POPUP_CONTACT, "OpenAddress mailto:" QV_SUPPORT_ADDRESS},
        {ID_MENU_CONTACT, "OpenAddress mailto:" QV_SUPPORT_ADDRESS},
        {ID_POPUP_HELP, "OpenHelp"},
        {ID_HELP_INDEX, "OpenHelp"},
        {ID_HELP, "OpenHelp"},
        {ID_POPUP_RESTORE, "RestoreWindow"},
        {ID_POPUP_EXIT, "EndDialog 0"},
        {ID_MENU_EXIT, "EndDialog 0"},
        {ID_HIDE, "HideWindow"}};
    Start();

    ASSERT_TRUE(m_view.m_bTimerRunning);
    for (const int nCommand : {ID_MENU_KEEP_SPEED, ID_POPUP_KEEP_SPEED, ID_POPUP_KEEP_SPEED}) {
        const bool bOn = !m_view.m_bTimerRunning;
        Command(nCommand);
        EXPECT_EQ(m_view.m_bTimerRunning, bOn);
        EXPECT_EQ(AppValue("Keep_Speed"), StoredDword(bOn));
        EXPECT_EQ(m_view.MenuItem(ID_POPUP_KEEP_SPEED), (MENU_ITEM_STATE{bOn, false}));
        EXPECT_EQ(m_view.MenuItem(ID_MENU_KEEP_SPEED), (MENU_ITEM_STATE{bOn, false}));
    }
    Command(IDC_RUN_ON_BOOT);
    EXPECT_FALSE(m_sim->Registry().Get(REGKEY_CURRENT_USER, APP_RUN_KEY, APP_NAME));
    EXPECT_EQ(m_sim->Registry().OpenKeyCount(), 0);

    for (const auto& [nCommand, strCall] : aCommands) {
        m_view.m_aCalls.clear();
        Command(nCommand);
        EXPECT_EQ(m_view.m_aCalls, Calls{strCall}) << nCommand;
    }
    for (const TRAY_MENU_ITEM& item : TrayMenuItems())
        EXPECT_TRUE(item.nCommand == 0 || m_pDlg->OnCommand(item.nCommand)) << item.pszText;
    for (const int nCommand : {1, 2})
        EXPECT_FALSE(m_pDlg->OnCommand(nCommand));

    constexpr std::intptr_t MOUSE_MOVE = 0x0200;
    const struct {
        std::uintptr_t nIcon;
        std::intptr_t nMouse;
        Calls aCalls;
        bool bEndsBootMode;
    } aPresses[] = {{ID_TRAY_ICON, TRAY_MOUSE_LBUTTONDOWN, {"RestoreWindow"}, true},
                    {7, TRAY_MOUSE_LBUTTONDOWN, {}, true},
                    {ID_TRAY_ICON, TRAY_MOUSE_RBUTTONDOWN, {"ShowTrayMenu"}, false},
                    {ID_TRAY_ICON, MOUSE_MOVE, {}, false}};
    for (const auto& press : aPresses) {
        SCOPED_TRACE(press.nMouse);
        m_pApp->m_bBootMode = true;
        m_view.m_aCalls.clear();
        m_pDlg->OnTrayNotify(press.nIcon, press.nMouse);
        EXPECT_EQ(m_view.m_aCalls, press.aCalls);
        m_view.m_bVisible = true;
        m_pDlg->OnPaint();
        EXPECT_EQ(m_view.m_bVisible, press.bEndsBootMode);
    }
    m_pDlg->OnClose();
    EXPECT_FALSE(m_view.m_bVisible);
}

} // namespace
} // namespace qv::test
