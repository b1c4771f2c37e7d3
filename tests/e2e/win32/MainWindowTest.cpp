// The main window on the demo's simulated drives: what it shows at start, choosing and applying
// a speed, saving and restoring, the two switches, tooltips, and the Windows 95/98 toolbar.
#include "tests/e2e/win32/MainWindowFixture.h"
#include "tests/e2e/win32/ProgramUnderTest.h"
#include "tests/e2e/win32/RegistryReader.h"

#include <commctrl.h>

#include <gmock/gmock.h>

#include <algorithm>

namespace qv::e2e {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;

// The commands the log holds after its first nFrom lines, for one drive.
std::vector<LOGGED_COMMAND> CommandsSince(const std::string& strLog, std::size_t nFrom,
                                          const std::string& strRoot) {
    const auto aAll = ReadCommandLog(strLog);
    std::vector<LOGGED_COMMAND> aSince;
    for (std::size_t nLine = nFrom; nLine < aAll.size(); ++nLine)
        if (aAll[nLine].strRoot == strRoot)
            aSince.push_back(aAll[nLine]);
    return aSince;
}

// Whether the drive was sent SET CD SPEED to nSpeed after the log's first nFrom lines.
bool WasSetTo(const std::string& strLog, std::size_t nFrom, const std::string& strRoot,
              int nSpeed) {
    const auto aSince = CommandsSince(strLog, nFrom, strRoot);
    return std::any_of(aSince.begin(), aSince.end(), [&](const LOGGED_COMMAND& command) {
        return command.strCdb.rfind(SetSpeedCdbPrefix(nSpeed), 0) == 0 && command.strStatus == "00";
    });
}

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

    EXPECT_EQ(Caption(hWnd), "Quorvex");
    EXPECT_THAT(ComboEntries(hWnd),
                ElementsAre(" E:  40x  QRVX CD-ROM 40X", " G:  48x  ZANTRIX CDR-4812"));
    EXPECT_EQ(ComboSelection(hWnd), 0);
    EXPECT_EQ(ControlText(hWnd, IDC_MAX_SPEED), "40x");
    EXPECT_EQ(ControlText(hWnd, IDC_CUR_SPEED), "40x");
    EXPECT_EQ(ControlText(hWnd, IDC_SEL_SPEED), "40x  (7040 Kb/s)");
    const SLIDER_STATE slider = Slider(hWnd);
    EXPECT_TRUE(slider.bEnabled);
    EXPECT_EQ(slider.nMin, 1);
    EXPECT_EQ(slider.nMax, 40);
    EXPECT_EQ(slider.nPos, 40);
    EXPECT_THAT(slider.aTicks, ElementsAre(4, 8, 16, 24, 32, 40));
    for (const int nCommand : {ID_APPLY, ID_LOCK, ID_EJECT, ID_LOAD, ID_SAVE, ID_RESTORE})
        EXPECT_TRUE(IsToolBarButtonEnabled(hWnd, nCommand)) << nCommand;
    EXPECT_TRUE(HasTrayIcon(hWnd));
}

TEST_F(MainWindowTest, AppliesTheChosenSpeedAndRestoresTheSavedOne) {
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
    EXPECT_EQ(Slider(hWnd).nPos, 16);

    std::size_t nMark = ReadCommandLog(m_strLog).size();
    Command(hWnd, ID_APPLY);
    EXPECT_TRUE(WaitUntil([&] { return WasSetTo(m_strLog, nMark, "G:\\", 16); }, 10s));
    EXPECT_TRUE(WaitUntil([&] { return ControlText(hWnd, IDC_CUR_SPEED) == "16x"; }, 10s));
    EXPECT_TRUE(CommandsSince(m_strLog, nMark, "E:\\").empty());

    Command(hWnd, ID_SAVE);
    EXPECT_TRUE(WaitUntil([] { return AppDword("G: Speed") == 16u; }, 10s));

    MoveSliderTo(hWnd, 24);
    Command(hWnd, ID_APPLY);
    ASSERT_TRUE(WaitUntil([&] { return ControlText(hWnd, IDC_CUR_SPEED) == "24x"; }, 10s));

    nMark = ReadCommandLog(m_strLog).size();
    Command(hWnd, ID_RESTORE);
    EXPECT_TRUE(WaitUntil([&] { return WasSetTo(m_strLog, nMark, "G:\\", 16); }, 10s));
    EXPECT_TRUE(WaitUntil([&] { return ControlText(hWnd, IDC_CUR_SPEED) == "16x"; }, 10s));
}

TEST_F(MainWindowTest, TheSwitchesWriteTheirValues) {
    const auto process = StartDemo();
    const HWND hWnd = WaitUntilReady(*process);
    ASSERT_TRUE(hWnd);
    const auto runEntry = [] { return ReadValueWide(HKEY_CURRENT_USER, RUN_KEY, "Quorvex"); };

    // A first start runs at boot.
    EXPECT_EQ(SendDlgItemMessageA(hWnd, IDC_RUN_ON_BOOT, BM_GETCHECK, 0, 0), BST_CHECKED);
    ASSERT_TRUE(runEntry());
    ClickCheckBox(hWnd, IDC_RUN_ON_BOOT);
    EXPECT_TRUE(WaitUntil([&] { return !runEntry(); }, 10s));
    EXPECT_EQ(AppDword("RunOnboot"), 0u);
    ClickCheckBox(hWnd, IDC_RUN_ON_BOOT);
    ASSERT_TRUE(WaitUntil([&] { return runEntry().has_value(); }, 10s));
    EXPECT_EQ(runEntry()->AsWideText(), L"\"" + Widen(Demo()) + L"\" /boot" + L'\0');
    EXPECT_EQ(AppDword("RunOnboot"), 1u);

    // Keep speed is on from the first start; either menu switches it.
    EXPECT_EQ(AppDword("Keep_Speed"), 1u);
    Command(hWnd, ID_MENU_KEEP_SPEED);
    EXPECT_TRUE(WaitUntil([] { return AppDword("Keep_Speed") == 0u; }, 10s));
    Command(hWnd, ID_POPUP_KEEP_SPEED);
    EXPECT_TRUE(WaitUntil([] { return AppDword("Keep_Speed") == 1u; }, 10s));
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
        {hToolBar, RemoteRect(hToolBar, TB_GETITEMRECT, 5, process->Id()),
         "Restore saved settings"},
    };
    for (const auto& place : aPlaces) {
        EXPECT_EQ(HoverForToolTip(place.hWnd, place.rect, process->Id(), place.pszTip, 10s),
                  place.pszTip);
    }
}

TEST_F(MainWindowTest, OnWindows9xLoadIsDisabledFromTheStart) {
    const auto process = StartDemo("", ASPI_ONLY_MACHINE);
    const HWND hWnd = WaitUntilReady(*process);
    ASSERT_TRUE(hWnd);
    EXPECT_FALSE(IsToolBarButtonEnabled(hWnd, ID_LOAD));
    for (const int nCommand : {ID_APPLY, ID_EJECT, ID_SAVE, ID_RESTORE})
        EXPECT_TRUE(IsToolBarButtonEnabled(hWnd, nCommand)) << nCommand;
}

} // namespace
} // namespace qv::e2e
