// How the main window comes and goes: the close box, the notification area and a restarted shell,
// second starts, Escape, the request to end, a boot-mode start behind its splash, a drive that
// takes its time, and no drive at all.
#include "app/BuildConfig.h"
#include "tests/e2e/win32/MainWindowFixture.h"
#include "tests/e2e/win32/ProgramUnderTest.h"
#include "tests/e2e/win32/RegistryReader.h"

#include <shellapi.h>

#include <thread>
#include <utility>

#include <gmock/gmock.h>

namespace qv::e2e {
namespace {

using namespace std::chrono_literals;
using ::testing::Contains;
using ::testing::IsEmpty;

bool IsShown(HWND hWnd) {
    return IsWindowVisible(hWnd) && !IsIconic(hWnd);
}

// The window's icon in the notification area. NIM_MODIFY tells whether it is there, as the shell
// lets only an existing icon be modified; its tip is written again unchanged.
bool TrayIcon(HWND hWnd, DWORD dwMessage) {
    NOTIFYICONDATAA icon{};
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = hWnd;
    icon.uID = ID_TRAY_ICON;
    icon.uFlags = NIF_TIP;
    lstrcpynA(icon.szTip, "Quorvex", sizeof icon.szTip);
    return Shell_NotifyIconA(dwMessage, &icon) != FALSE;
}

// scripts/screenshots.sh takes the notification-area menu's picture through this test's name.
TEST_F(MainWindowTest, TheCloseBoxHidesTheWindowAndEscapeEndsTheProgram) {
    const auto process = StartDemo();
    const HWND hWnd = WaitUntilReady(*process);
    ASSERT_TRUE(hWnd);
    ASSERT_TRUE(TrayIcon(hWnd, NIM_DELETE));
    SendMessageA(hWnd, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(TrayIcon(hWnd, NIM_MODIFY)) << "a restarted shell gets the icon back";

    // A second start brings the hidden window back and ends without a word to the drives.
    PostMessageA(hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(hWnd); }, 10s));
    const std::string strSecondLog = FreshFile(".second.log");
    const auto second = StartDemo("", "", {{"QUORVEX_SIM_LOG", strSecondLog}});
    EXPECT_EQ(second->WaitForExit(30s), 0u);
    EXPECT_TRUE(WaitUntil([&] { return IsShown(hWnd); }, 10s));
    EXPECT_THAT(ReadCommandLog(strSecondLog), IsEmpty());

    PostMessageA(hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(hWnd); }, 10s));
    EXPECT_FALSE(process->WaitForExit(500ms));
    // The popup menu's "Restore", the item above the last, brings it back.
    PostMessageA(hWnd, WM_TRAY_NOTIFY, ID_TRAY_ICON, WM_RBUTTONDOWN);
    const HWND hMenu = WaitForWindowOf(
        process->Id(), [](HWND hFound) { return ClassOf(hFound) == "#32768"; }, 10s);
    ASSERT_TRUE(hMenu);
    EXPECT_TRUE(TakeScreenshot("tray-menu", hMenu));
    for (const WPARAM nKey : {VK_UP, VK_UP, VK_RETURN})
        PostMessageA(hMenu, WM_KEYDOWN, nKey, 0);
    EXPECT_TRUE(WaitUntil([&] { return IsShown(hWnd); }, 10s));

    PostMessageA(hWnd, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(process->WaitForExit(30s), 0u);
}

// Each drive with a saved speed is set to it as soon as it is identified.
TEST_F(MainWindowTest, ABootStartShowsTheSplashSetsTheSavedSpeedsAndWaitsInTheNotificationArea) {
    for (const auto& [pszDrive, dwSpeed] : {std::pair{"E:", 16u}, std::pair{"G:", 24u}}) {
        WriteValue(HKEY_CURRENT_USER, APP_KEY, std::string(pszDrive) + " Model", Text(";;;"));
        WriteValue(HKEY_CURRENT_USER, APP_KEY, std::string(pszDrive) + " Speed", Dword(dwSpeed));
    }
    const auto process = StartDemo("/boot");
    const HWND hSplash = WaitForWindowOf(process->Id(), [](HWND hFound) {
        return ClassOf(hFound) == "#32770" && !GetDlgItem(hFound, IDC_DRIVE_COMBO);
    });
    ASSERT_TRUE(hSplash);
    EXPECT_TRUE(TakeScreenshot("splash"));
    EXPECT_THAT(ChildTexts(hSplash), Contains("Quorvex Version " QV_VERSION_TEXT));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(hSplash); }, 10s)) << "the splash stays";

    const HWND hWnd = FindMainWindow(process->Id());
    ASSERT_TRUE(hWnd);
    EXPECT_TRUE(WaitUntil(
        [&] {
            return CountSetsTo(m_strLog, "E:\\", 16) == 1 && CountSetsTo(m_strLog, "G:\\", 24) == 1;
        },
        30s));
    // Shown as the splash ends, hidden again at its first paint.
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(hWnd); }, 10s));
    EXPECT_TRUE(TrayIcon(hWnd, NIM_MODIFY));

    PostMessageA(hWnd, WM_TRAY_NOTIFY, ID_TRAY_ICON, WM_LBUTTONDOWN);
    EXPECT_TRUE(WaitUntil([&] { return IsShown(hWnd); }, 10s));
    // Out of boot mode, painting no longer hides it.
    RedrawWindow(hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_TRUE(IsShown(hWnd));
}

// A drive that takes a second for every command: the window answers at once throughout its
// identification and detection, a second start returns at once, and the setup's request to close
// ends the hidden program from under its About dialog without waiting for the drive.
TEST_F(MainWindowTest, ASlowDriveHoldsNeitherTheWindowNorASecondStartNorTheEnd) {
    constexpr const char* SLOW_MACHINE = R"({ "drives": [
        { "root": "E:\\", "type": "cdrom", "speeds": [4, 8, 16, 24, 32, 40], "latencyMs": 1000 } ] })";
    const auto process = StartDemo("", SLOW_MACHINE);
    const HWND hWnd = WaitForMainWindow(process->Id(), 30s);
    ASSERT_TRUE(hWnd);
    for (int nAsked = 0; nAsked < 40; ++nAsked) {
        ASSERT_NE(SendMessageTimeoutA(hWnd, WM_NULL, 0, 0, SMTO_NORMAL, 100, nullptr), 0)
            << "after " << nAsked << " answers";
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_TRUE(Slider(hWnd).aTicks.empty()) << "the drive is still being detected";

    const auto second = StartDemo("", SLOW_MACHINE);
    EXPECT_TRUE(second->WaitForExit(2s));
    PostMessageA(hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(hWnd); }, 10s));
    Command(hWnd, ID_POPUP_ABOUT);
    ASSERT_TRUE(WaitForDialog(process->Id(), "About Quorvex"));
    PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(L"Quorvex (Velnor) exit"), 0, 0);
    EXPECT_EQ(process->WaitForExit(2s), 0u);
}

TEST_F(MainWindowTest, TwoStartsAtOnceLeaveOneInstance) {
    const auto first = StartDemo();
    const auto second = StartDemo("", "", {{"QUORVEX_SIM_LOG", FreshFile(".second.log")}});
    std::optional<DWORD> nFirstExit, nSecondExit;
    ASSERT_TRUE(WaitUntil(
        [&] {
            nFirstExit = first->WaitForExit(0ms);
            nSecondExit = second->WaitForExit(0ms);
            return nFirstExit || nSecondExit;
        },
        60s));
    ASSERT_FALSE(nFirstExit && nSecondExit) << "both ended";
    EXPECT_EQ(nFirstExit ? *nFirstExit : *nSecondExit, 0u);
    CProcess& remaining = nFirstExit ? *second : *first;
    EXPECT_TRUE(WaitUntilReady(remaining));
    EXPECT_FALSE(remaining.WaitForExit(500ms));
}

TEST_F(MainWindowTest, WithoutADriveTheWindowSaysSoAndTheProgramEnds) {
    ExpectTheNoDriveBoxAndEnd(Real());
}

} // namespace
} // namespace qv::e2e
