// The main window's controls on the demo's simulated drives: what the dialog shows reaches them,
// and what a user does with them reaches the dialog. The native tests hold what the dialog shows
// and does; these hold the Win32 controls, tooltips, toolbar and keep timer to it.
#include "tests/e2e/win32/MainWindowFixture.h"
#include "tests/e2e/win32/ProgramUnderTest.h"
#include "tests/e2e/win32/RegistryReader.h"

#include <commctrl.h>

#include <gmock/gmock.h>

namespace qv::e2e {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;

std::optional<DWORD> AppDword(const char* pszName) {
    const auto value = ReadValue(HKEY_CURRENT_USER, APP_KEY, pszName);
    return value ? std::optional<DWORD>(value->AsDword()) : std::nullopt;
}

// A click a little right of the tick at nSpeed, on the middle of the channel.
void ClickNearTick(HWND hWnd, DWORD dwProcessId, int nSpeed) {
    const HWND hSlider = GetDlgItem(hWnd, IDC_SPEED_SLIDER);
    const int nTicks = static_cast<int>(SendMessageA(hSlider, TBM_GETNUMTICS, 0, 0)) - 2;
    int x = -1;
    for (int nTick = 0; nTick < nTicks; ++nTick)
        if (SendMessageA(hSlider, TBM_GETTIC, nTick, 0) == nSpeed)
            x = static_cast<int>(SendMessageA(hSlider, TBM_GETTICPOS, nTick, 0)) + 2;
    ASSERT_GE(x, 0) << "no tick at " << nSpeed;
    const RECT channel = RemoteRect(hSlider, TBM_GETCHANNELRECT, 0, dwProcessId);
    const LPARAM point = MAKELPARAM(x, (channel.top + channel.bottom) / 2);
    PostMessageA(hSlider, WM_LBUTTONDOWN, MK_LBUTTON, point);
    PostMessageA(hSlider, WM_LBUTTONUP, 0, point);
}

TEST_F(MainWindowTest, StartsWithEveryDriveListedAndTheFirstOnesSpeeds) {
    const auto process = StartDemo();
    const HWND hWnd = WaitUntilReady(*process);
    ASSERT_TRUE(hWnd);
    EXPECT_TRUE(TakeScreenshot("main-window", hWnd));

    EXPECT_THAT(ComboEntries(hWnd),
                ElementsAre(" E:  40x  QRVX CD-ROM 40X", " G:  48x  ZANTRIX CDR-4812"));
    EXPECT_EQ(ControlText(hWnd, IDC_SEL_SPEED), "40x  (7040 Kb/s)");
    EXPECT_EQ(Slider(hWnd).nPos, 40);
    EXPECT_THAT(Slider(hWnd).aTicks, ElementsAre(4, 8, 16, 24, 32, 40));
    EXPECT_EQ(IsDlgButtonChecked(hWnd, IDC_RUN_ON_BOOT), BST_CHECKED);
    EXPECT_TRUE(HasTrayIcon(hWnd));
}

TEST_F(MainWindowTest, TheControlsApplySaveAndRestoreASpeedAndTurnRunAtBootOff) {
    const auto process = StartDemo();
    const HWND hWnd = WaitUntilReady(*process);
    ASSERT_TRUE(hWnd);

    ChooseDrive(hWnd, 1);
    ASSERT_TRUE(WaitUntil(
        [&] { return Slider(hWnd).aTicks == std::vector<int>{8, 16, 24, 32, 40, 48}; }, 30s));
    EXPECT_EQ(ControlText(hWnd, IDC_MAX_SPEED), "48x");
    EXPECT_EQ(ControlText(hWnd, IDC_CUR_SPEED), "32x");
    // A click beside a tick lands on it.
    ClickNearTick(hWnd, process->Id(), 16);
    EXPECT_TRUE(
        WaitUntil([&] { return ControlText(hWnd, IDC_SEL_SPEED) == "16x  (2816 Kb/s)"; }, 10s));
    Command(hWnd, ID_APPLY);
    EXPECT_TRUE(WaitUntil([&] { return ControlText(hWnd, IDC_CUR_SPEED) == "16x"; }, 10s));
    Command(hWnd, ID_SAVE);
    EXPECT_TRUE(WaitUntil([] { return AppDword("G: Speed") == 16u; }, 10s));

    MoveSliderTo(hWnd, 24);
    Command(hWnd, ID_APPLY);
    ASSERT_TRUE(WaitUntil([&] { return ControlText(hWnd, IDC_CUR_SPEED) == "24x"; }, 10s));
    const std::size_t nMark = ReadCommandLog(m_strLog).size();
    Command(hWnd, ID_RESTORE);
    EXPECT_TRUE(WaitUntil([&] { return CountSetsTo(m_strLog, "G:\\", 16, nMark) == 1; }, 10s));
    EXPECT_TRUE(WaitUntil([&] { return ControlText(hWnd, IDC_CUR_SPEED) == "16x"; }, 10s));

    PostMessageA(GetDlgItem(hWnd, IDC_RUN_ON_BOOT), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitUntil([] { return AppDword("RunOnboot") == 0u; }, 10s));
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, RUN_KEY, "Quorvex"));
    EXPECT_EQ(IsDlgButtonChecked(hWnd, IDC_RUN_ON_BOOT), BST_UNCHECKED);
}

TEST_F(MainWindowTest, TooltipsNameWhatTheMouseRestsOn) {
    const auto process = StartDemo();
    const HWND hWnd = WaitUntilReady(*process);
    ASSERT_TRUE(hWnd);
    const auto clientRect = [](HWND hControl) {
        RECT rect{};
        GetClientRect(hControl, &rect);
        return rect;
    };
    const HWND hToolBar = GetDlgItem(hWnd, IDC_TOOLBAR);
    const struct {
        HWND hWnd;
        RECT rect;
        const char* pszTip;
    } aPlaces[] = {
        {GetDlgItem(hWnd, IDC_DRIVE_COMBO), clientRect(GetDlgItem(hWnd, IDC_DRIVE_COMBO)),
         "Available CD-ROM devices"},
        // A label, which lets the mouse through to the dialog.
        {GetDlgItem(hWnd, IDC_SEL_SPEED), clientRect(GetDlgItem(hWnd, IDC_SEL_SPEED)),
         "Drag slider to select new speed"},
        {hToolBar, RemoteRect(hToolBar, TB_GETITEMRECT, 0, process->Id()),
         "Apply the selected speed"},
    };
    for (const auto& place : aPlaces)
        EXPECT_EQ(HoverForToolTip(place.hWnd, place.rect, process->Id(), place.pszTip, 10s),
                  place.pszTip);
}

// Windows 95/98 has no call that loads a tray: its button is greyed.
TEST_F(MainWindowTest, OnWindows9xTheToolBarGreysLoad) {
    const auto process = StartDemo("", R"({ "platform": "9x",
        "drives": [ { "root": "E:\\", "type": "cdrom", "aspiAddress": { "adapter": 0, "target": 0 } } ],
        "aspi": { "adapters": [ { "targets": 0 } ] } })");
    const HWND hWnd = WaitUntilReady(*process, 1);
    ASSERT_TRUE(hWnd);
    EXPECT_FALSE(IsToolBarButtonEnabled(hWnd, ID_LOAD));
    EXPECT_TRUE(IsToolBarButtonEnabled(hWnd, ID_EJECT));
}

// The keep timer of the real window: a drive that falls back to its highest speed a second after
// each change, as drives do when the system resets them, is set again at a tick.
TEST_F(MainWindowTest, KeepSpeedSetsTheSpeedAgainAfterTheDriveDrifted) {
    const auto process = StartDemo("", R"({ "drives": [
        { "root": "E:\\", "type": "cdrom", "speeds": [4, 8, 16, 24, 32, 40], "revertsAfterMs": 1000 } ] })");
    const HWND hWnd = WaitUntilReady(*process, 1);
    ASSERT_TRUE(hWnd) << ControlText(FindOtherDialog(process->Id()), IDC_BOX_TEXT);

    const std::size_t nMark = ReadCommandLog(m_strLog).size();
    MoveSliderTo(hWnd, 16);
    Command(hWnd, ID_APPLY);
    EXPECT_TRUE(WaitUntil([&] { return CountSetsTo(m_strLog, "E:\\", 16, nMark) >= 2; },
                          std::chrono::milliseconds(3 * KEEP_TIMER_PERIOD_MS)));
}

} // namespace
} // namespace qv::e2e
