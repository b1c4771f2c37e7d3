#include "tests/e2e/win32/MainWindowDriver.h"

#include "tests/e2e/win32/ProgramUnderTest.h"

#include <commctrl.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <thread>

namespace qv::e2e {
using namespace std::chrono_literals;

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(50ms);
    }
}

std::string ClassOf(HWND hWnd) {
    char szClass[32] = {};
    GetClassNameA(hWnd, szClass, sizeof szClass);
    return szClass;
}

std::string TextOf(HWND hWnd) {
    char szText[1024] = {};
    GetWindowTextA(hWnd, szText, sizeof szText);
    return szText;
}

std::string ControlText(HWND hDialog, int nId) {
    char szText[1024] = {};
    GetDlgItemTextA(hDialog, nId, szText, sizeof szText);
    return szText;
}

std::vector<std::string> ChildTexts(HWND hWnd) {
    std::vector<std::string> aTexts;
    for (HWND hChild = GetWindow(hWnd, GW_CHILD); hChild; hChild = GetWindow(hChild, GW_HWNDNEXT))
        aTexts.push_back(TextOf(hChild));
    return aTexts;
}

HWND FindWindowOf(DWORD dwProcessId, const std::function<bool(HWND)>& test) {
    for (HWND hWnd = GetWindow(GetDesktopWindow(), GW_CHILD); hWnd;
         hWnd = GetWindow(hWnd, GW_HWNDNEXT)) {
        DWORD dwOwner = 0;
        GetWindowThreadProcessId(hWnd, &dwOwner);
        if (dwOwner == dwProcessId && test(hWnd))
            return hWnd;
    }
    return nullptr;
}

HWND WaitForWindowOf(DWORD dwProcessId, const std::function<bool(HWND)>& test,
                     std::chrono::milliseconds limit) {
    const auto visible = [&](HWND hWnd) { return IsWindowVisible(hWnd) && test(hWnd); };
    HWND hFound = nullptr;
    WaitUntil([&] { return (hFound = FindWindowOf(dwProcessId, visible)) != nullptr; }, limit);
    return hFound;
}

// A message box's text is set after the box is created: the wait is for both.
HWND WaitForDialog(DWORD dwProcessId, const std::string& strCaption, const std::string& strText,
                   std::chrono::milliseconds limit) {
    return WaitForWindowOf(
        dwProcessId,
        [&](HWND hWnd) {
            return ClassOf(hWnd) == "#32770" && TextOf(hWnd) == strCaption &&
                   (strText.empty() || ControlText(hWnd, IDC_BOX_TEXT) == strText);
        },
        limit);
}

HWND FindMainWindow(DWORD dwProcessId) {
    return FindWindowOf(dwProcessId, [](HWND hWnd) {
        return ClassOf(hWnd) == "#32770" && GetDlgItem(hWnd, IDC_DRIVE_COMBO) != nullptr;
    });
}

HWND WaitForMainWindow(DWORD dwProcessId, std::chrono::milliseconds limit) {
    HWND hFound = nullptr;
    WaitUntil([&] { return (hFound = FindMainWindow(dwProcessId)) != nullptr; }, limit);
    return hFound;
}

HWND FindOtherDialog(DWORD dwProcessId) {
    return FindWindowOf(dwProcessId, [](HWND hWnd) {
        return ClassOf(hWnd) == "#32770" && IsWindowVisible(hWnd) &&
               GetDlgItem(hWnd, IDC_DRIVE_COMBO) == nullptr;
    });
}

// Under Wine the ANSI form of CB_GETLBTEXT comes back in UTF-16 across processes.
std::vector<std::string> ComboEntries(HWND hDialog) {
    const HWND hCombo = GetDlgItem(hDialog, IDC_DRIVE_COMBO);
    const auto nCount = static_cast<int>(SendMessageW(hCombo, CB_GETCOUNT, 0, 0));
    std::vector<std::string> aEntries;
    for (int nEntry = 0; nEntry < nCount; ++nEntry) {
        const auto nLength = SendMessageW(hCombo, CB_GETLBTEXTLEN, nEntry, 0);
        std::wstring strWide(static_cast<std::size_t>(std::max<LRESULT>(nLength, 0)) + 1, L'\0');
        SendMessageW(hCombo, CB_GETLBTEXT, nEntry, reinterpret_cast<LPARAM>(strWide.data()));
        strWide.resize(wcslen(strWide.c_str()));
        aEntries.emplace_back(strWide.begin(), strWide.end());
    }
    return aEntries;
}

SLIDER_STATE Slider(HWND hDialog) {
    const HWND hSlider = GetDlgItem(hDialog, IDC_SPEED_SLIDER);
    SLIDER_STATE slider;
    // The count includes the control's two end marks.
    const int nTicks = static_cast<int>(SendMessageA(hSlider, TBM_GETNUMTICS, 0, 0)) - 2;
    for (int nTick = 0; nTick < nTicks; ++nTick)
        slider.aTicks.push_back(static_cast<int>(SendMessageA(hSlider, TBM_GETTIC, nTick, 0)));
    std::sort(slider.aTicks.begin(), slider.aTicks.end());
    return slider;
}

void MoveSliderTo(HWND hDialog, int nPos) {
    const HWND hSlider = GetDlgItem(hDialog, IDC_SPEED_SLIDER);
    SendMessageA(hSlider, TBM_SETPOS, TRUE, nPos);
    PostMessageA(hDialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, nPos),
                 reinterpret_cast<LPARAM>(hSlider));
}

// A button's click comes from the button; a menu command from no control.
void Command(HWND hDialog, int nCommand) {
    PostMessageA(hDialog, WM_COMMAND, MAKEWPARAM(nCommand, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(hDialog, nCommand)));
}

std::vector<LOGGED_COMMAND> ReadCommandLog(const std::string& strFile) {
    std::vector<LOGGED_COMMAND> aCommands;
    std::ifstream file(strFile);
    std::string strLine;
    while (std::getline(file, strLine)) {
        std::istringstream fields(strLine);
        LOGGED_COMMAND command;
        std::string strMs, strStatus;
        if (fields >> strMs >> command.strRoot >> command.strCdb >> strStatus)
            aCommands.push_back(command);
    }
    return aCommands;
}

bool IsSetSpeed(const LOGGED_COMMAND& command) {
    return command.strCdb.rfind("BB", 0) == 0;
}

int CountSetsTo(const std::string& strLog, const std::string& strRoot, int nSpeed,
                std::size_t nFrom) {
    const auto aLog = ReadCommandLog(strLog);
    return static_cast<int>(
        std::count_if(aLog.begin() + static_cast<std::ptrdiff_t>(std::min(nFrom, aLog.size())),
                      aLog.end(), [&](const LOGGED_COMMAND& command) {
                          return command.strRoot == strRoot &&
                                 command.strCdb.rfind(SetSpeedCdbPrefix(nSpeed), 0) == 0;
                      }));
}

// The run's script watches the folder: it answers <name>.request with <name>.png, cropped to
// the X geometry the request holds, if any, and then removes the request.
bool TakeScreenshot(const std::string& strName, HWND hWnd) {
    char szDir[MAX_PATH] = {};
    if (!GetEnvironmentVariableA("QV_SCREENSHOT_DIR", szDir, sizeof szDir))
        return true;
    const std::string strRequest = std::string(szDir) + "\\" + strName + ".request";
    // Written whole under another name first: the script must not read a half-written request.
    {
        std::ofstream request(strRequest + ".new");
        RECT rect = {};
        if (hWnd && GetWindowRect(hWnd, &rect))
            request << rect.right - rect.left << 'x' << rect.bottom - rect.top << '+' << rect.left
                    << '+' << rect.top;
        request << '\n';
    }
    MoveFileExA((strRequest + ".new").c_str(), strRequest.c_str(), MOVEFILE_REPLACE_EXISTING);
    return WaitUntil(
               [&] { return GetFileAttributesA(strRequest.c_str()) == INVALID_FILE_ATTRIBUTES; },
               20s) &&
           GetFileAttributesA((std::string(szDir) + "\\" + strName + ".png").c_str()) !=
               INVALID_FILE_ATTRIBUTES;
}

} // namespace qv::e2e
