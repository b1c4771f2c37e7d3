// The main window's controls on the demo's simulated drives: what the dialog shows reaches them,
// and what a user does with them reaches the dialog. The native tests hold what the dialog shows
// and does; these hold the Win32 controls, tooltips, toolbar, keep timer and arrival notice to it.
#include "tests/e2e/win32/MainWindowFixture.h"
#include "tests/e2e/win32/ProgramUnderTest.h"
#include "tests/e2e/win32/RegistryReader.h"

#include <commctrl.h>
#include <dbt.h>

#include <gmock/gmock.h>

#include <thread>

namespace qv::e2e {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;

// A rectangle a control writes to the buffer its message names: the buffer must lie in the
// control's own process, as Wine does not carry it across.
RECT RemoteRect(HWND hControl, UINT nMessage, WPARAM wParam, DWORD dwProcessId) {
    RECT rect{};
    const HANDLE hProcess =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, dwProcessId);
    if (void* pRemote = VirtualAllocEx(hProcess, nullptr, sizeof rect, MEM_COMMIT | MEM_RESERVE,
                                       PAGE_READWRITE)) {
        SendMessageA(hControl, nMessage, wParam, reinterpret_cast<LPARAM>(pRemote));
        ReadProcessMemory(hProcess, pRemote, &rect, sizeof rect, nullptr);
        VirtualFreeEx(hProcess, pRemote, 0, MEM_RELEASE);
    }
    CloseHandle(hProcess);
    return rect;
}

// A tooltip starts from a move over its tool, and a move of the mouse to where it already rests
// is none: the mouse comes in from a corner until the expected tip shows. The tip shown last.
std::string HoverForToolTip(HWND hWnd, const RECT& client, DWORD dwProcessId,
                            const std::string& strExpected) {
    POINT middle{(client.left + client.right) / 2, (client.top + client.bottom) / 2};
    ClientToScreen(hWnd, &middle);
    std::string strShown;
    const auto shown = [&] {
        const HWND hTip = FindWindowOf(dwProcessId, [](HWND hFound) {
            return ClassOf(hFound) == TOOLTIPS_CLASSA && IsWindowVisible(hFound);
        });
        // GetWindowText does not ask a window of another process for its text.
        wchar_t szText[256] = {};
        if (hTip)
            SendMessageW(hTip, WM_GETTEXT, std::size(szText), reinterpret_cast<LPARAM>(szText));
        strShown = std::string(szText, szText + wcslen(szText));
        return strShown == strExpected;
    };
    for (int nTry = 0; nTry < 5 && !shown(); ++nTry) {
        SetCursorPos(0, 0);
        SetCursorPos(middle.x, middle.y);
        WaitUntil(shown, 2s);
    }
    return strShown;
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

// scripts/screenshots.sh takes the main window's picture through this test's name.
TEST_F(MainWindowTest, StartsWithEveryDriveListedAndTheFirstOnesSpeeds) {
    const auto process = StartDemo();
    const HWND hWnd = WaitUntilReady(*process);
    ASSERT_TRUE(hWnd);
    EXPECT_TRUE(TakeScreenshot("main-window", hWnd));
    const HWND hToolBar = GetDlgItem(hWnd, IDC_TOOLBAR);
    const HWND hLabel = GetDlgItem(hWnd, IDC_SEL_SPEED);
    RECT label{};
    GetClientRect(hLabel, &label);
    // A label lets the mouse through to the dialog; a toolbar button is no window of its own.
    const char* pszLabelTip = "Drag slider to select new speed";
    EXPECT_EQ(HoverForToolTip(hLabel, label, process->Id(), pszLabelTip), pszLabelTip);
    const char* pszApplyTip = "Apply the selected speed";
    EXPECT_EQ(HoverForToolTip(hToolBar, RemoteRect(hToolBar, TB_GETITEMRECT, 0, process->Id()),
                              process->Id(), pszApplyTip),
              pszApplyTip);
    EXPECT_THAT(ComboEntries(hWnd),
                ElementsAre(" E:  40x  QRVX CD-ROM 40X", " G:  48x  ZANTRIX CDR-4812"));
    EXPECT_THAT(Slider(hWnd).aTicks, ElementsAre(4, 8, 16, 24, 32, 40));

    const HWND hCombo = GetDlgItem(hWnd, IDC_DRIVE_COMBO);
    SendMessageA(hCombo, CB_SETCURSEL, 1, 0);
    PostMessageA(hWnd, WM_COMMAND, MAKEWPARAM(IDC_DRIVE_COMBO, CBN_SELENDOK),
                 reinterpret_cast<LPARAM>(hCombo));
    ASSERT_TRUE(WaitUntil(
        [&] { return Slider(hWnd).aTicks == std::vector<int>{8, 16, 24, 32, 40, 48}; }, 30s));
    // A click beside a tick lands on it.
    ClickNearTick(hWnd, process->Id(), 16);
    EXPECT_TRUE(
        WaitUntil([&] { return ControlText(hWnd, IDC_SEL_SPEED) == "16x  (2816 Kb/s)"; }, 10s));
    Command(hWnd, ID_APPLY);
    EXPECT_TRUE(WaitUntil([&] { return CountSetsTo(m_strLog, "G:\\", 16) == 1; }, 10s));
    Command(hWnd, ID_SAVE);
    EXPECT_TRUE(WaitUntil(
        [] { return ReadValue(HKEY_CURRENT_USER, APP_KEY, "G: Speed") == Dword(16); }, 10s));

    PostMessageA(GetDlgItem(hWnd, IDC_RUN_ON_BOOT), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitUntil(
        [] { return ReadValue(HKEY_CURRENT_USER, APP_KEY, "RunOnboot") == Dword(0); }, 10s));
    EXPECT_EQ(IsDlgButtonChecked(hWnd, IDC_RUN_ON_BOOT), BST_UNCHECKED);
}

// Windows 95/98 has no call that loads a tray: its button is greyed.
TEST_F(MainWindowTest, OnWindows9xTheToolBarGreysLoad) {
    const auto process = StartDemo("", R"({ "platform": "9x",
        "drives": [ { "root": "E:\\", "type": "cdrom", "aspiAddress": { "adapter": 0, "target": 0 } } ],
        "aspi": { "adapters": [ { "targets": 0 } ] } })");
    const HWND hWnd = WaitUntilReady(*process, 1);
    ASSERT_TRUE(hWnd);
    const HWND hToolBar = GetDlgItem(hWnd, IDC_TOOLBAR);
    EXPECT_FALSE(SendMessageA(hToolBar, TB_ISBUTTONENABLED, ID_LOAD, 0));
    EXPECT_TRUE(SendMessageA(hToolBar, TB_ISBUTTONENABLED, ID_EJECT, 0));
}

// A drive that falls back to its highest speed a second after each change, as drives do when the
// system resets them at a media change: the arrival notice sets it again at once, long before the
// keep timer's next tick, and the keep timer at its tick. Only a whole media-arrival broadcast of a
// volume counts; the window decodes it, so only a run under a real message loop can check that.
TEST_F(MainWindowTest, AnArrivingDiscGetsItsSpeedAtOnceAndTheKeepTimerAgain) {
    const auto process = StartDemo("", R"({ "drives": [
        { "root": "E:\\", "type": "cdrom", "speeds": [4, 8, 16, 24, 32, 40], "current": 40,
          "revertsAfterMs": 1000 } ] })");
    const HWND hWnd = WaitUntilReady(*process, 1);
    ASSERT_TRUE(hWnd);
    const auto arrive = [&](DWORD dwSize, WPARAM nEvent, WORD wFlags) {
        DEV_BROADCAST_VOLUME volume{dwSize, DBT_DEVTYP_VOLUME, 0, 1u << ('E' - 'A'), wFlags};
        // A notice that carries a structure is sent, never posted, across processes.
        SendMessageTimeoutA(hWnd, WM_DEVICECHANGE, nEvent, reinterpret_cast<LPARAM>(&volume),
                            SMTO_NORMAL, 1000, nullptr);
    };
    MoveSliderTo(hWnd, 16);
    Command(hWnd, ID_APPLY);
    ASSERT_TRUE(WaitUntil([&] { return CountSetsTo(m_strLog, "E:\\", 16) == 1; }, 10s));
    // Within the second the drive keeps 16x, a tick sets nothing either.
    arrive(sizeof(DEV_BROADCAST_HDR), DBT_DEVICEARRIVAL, DBTF_MEDIA);
    arrive(sizeof(DEV_BROADCAST_VOLUME), DBT_DEVICEREMOVECOMPLETE, DBTF_MEDIA);
    arrive(sizeof(DEV_BROADCAST_VOLUME), DBT_DEVICEARRIVAL, 0);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(CountSetsTo(m_strLog, "E:\\", 16), 1) << "a short, a removal's or a volume's own";
    std::this_thread::sleep_for(1100ms); // the drive runs at 40x again

    std::size_t nMark = ReadCommandLog(m_strLog).size();
    const auto sent = std::chrono::steady_clock::now();
    arrive(sizeof(DEV_BROADCAST_VOLUME), DBT_DEVICEARRIVAL, DBTF_MEDIA);
    ASSERT_TRUE(WaitUntil([&] { return CountSetsTo(m_strLog, "E:\\", 16, nMark) == 1; }, 5s));
    // Well within the five seconds to the next tick; the benchmark tells how well.
    EXPECT_LT(std::chrono::steady_clock::now() - sent, 1s);

    nMark = ReadCommandLog(m_strLog).size();
    EXPECT_TRUE(WaitUntil([&] { return CountSetsTo(m_strLog, "E:\\", 16, nMark) >= 1; },
                          std::chrono::milliseconds(2 * KEEP_TIMER_PERIOD_MS)));
}

} // namespace
} // namespace qv::e2e
