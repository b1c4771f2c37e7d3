// The windows of a program under test, seen from the driver: finding them, reading their
// controls, working them as a user would, the simulated drives' command log, and pictures of
// the screen.
#pragma once

#include "tests/e2e/win32/Process.h"
#include "ui/Commands.h"

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace qv::e2e {

// The toolbar, which the window creates itself, and a message box's text.
inline constexpr int IDC_TOOLBAR = 0xE800;
inline constexpr int IDC_BOX_TEXT = 0xFFFF;

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit);

std::string ClassOf(HWND hWnd);
std::string TextOf(HWND hWnd);
std::string ControlText(HWND hDialog, int nId);
// The texts of a window's children, in z-order.
std::vector<std::string> ChildTexts(HWND hWnd);

// The process's first top-level window, shown or hidden, that passes the test; or null.
HWND FindWindowOf(DWORD dwProcessId, const std::function<bool(HWND)>& test);
// The first visible one that passes the test, once one shows within the limit.
HWND WaitForWindowOf(DWORD dwProcessId, const std::function<bool(HWND)>& test,
                     std::chrono::milliseconds limit = std::chrono::seconds(30));
// A visible dialog with this caption and, when one is given, this message-box text.
HWND WaitForDialog(DWORD dwProcessId, const std::string& strCaption,
                   const std::string& strText = "",
                   std::chrono::milliseconds limit = std::chrono::seconds(30));
// The main dialog of a process (a dialog with the drive combo box), shown or hidden.
HWND FindMainWindow(DWORD dwProcessId);
HWND WaitForMainWindow(DWORD dwProcessId, std::chrono::milliseconds limit);
// A visible dialog of the process that is not the main window: the splash, About, a box.
HWND FindOtherDialog(DWORD dwProcessId);

std::vector<std::string> ComboEntries(HWND hDialog);
struct SLIDER_STATE {
    std::vector<int> aTicks; // in ascending order, without the two end marks
};
SLIDER_STATE Slider(HWND hDialog);

void MoveSliderTo(HWND hDialog, int nPos);
void Command(HWND hDialog, int nCommand);

// One line of the demo program's command log, without its time and status.
struct LOGGED_COMMAND {
    std::string strRoot;
    std::string strCdb; // hex
};
std::vector<LOGGED_COMMAND> ReadCommandLog(const std::string& strFile);
bool IsSetSpeed(const LOGGED_COMMAND& command);
// How many times the drive was set to nSpeed after the log's first nFrom lines.
int CountSetsTo(const std::string& strLog, const std::string& strRoot, int nSpeed,
                std::size_t nFrom = 0);

// A picture of the screen, or of hWnd's window where one is given, as <name>.png among the run's
// artefacts, when the run takes pictures (QV_SCREENSHOT_DIR); false when it was asked for and did
// not come.
bool TakeScreenshot(const std::string& strName, HWND hWnd = nullptr);

} // namespace qv::e2e
