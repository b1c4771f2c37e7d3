// The About dialog over the demo's main window: its owner, texts, blue links, focus, tooltips and
// single instance, and the programs its links start through the shell, or its message when no
// program opens pages. A stand-in program is the user's browser and mail program; it writes down
// how it was started.
#include "app/BuildConfig.h"
#include "tests/e2e/win32/MainWindowFixture.h"
#include "tests/e2e/win32/ProgramUnderTest.h"
#include "tests/e2e/win32/RegistryReader.h"

#include <commctrl.h>
#include <shellapi.h>

#include <gmock/gmock.h>

#include <fstream>
#include <utility>

namespace qv::e2e {
namespace {

using namespace std::chrono_literals;
using ::testing::_;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

// Wine 8 reads HKEY_CLASSES_ROOT from the machine's classes alone, without the user's
// Software\Classes over them, so the tests' classes go there.
const std::string CLASSES_KEY = "Software\\Classes\\";
const std::string STANDIN_CLASS = "QuorvexTest.StandIn";
// A page type whose class names no program.
const std::string NO_PROGRAM_CLASS = "QuorvexTest.NoProgram";
// The prefix's own values that the tests change, put back afterwards.
const std::string CHANGED_VALUES[] = {".htm", ".html", "mailto\\shell\\open\\command"};
// Not the maker's update server: the Check for Update tooltip names the server the program was
// given.
constexpr const char* TEST_UPDATE_URL = "http://updates.velnor.example/quorvex/version.txt";

// How many pixels of a window the screen shows in the link colour, RGB(0, 0, 255), in the
// dialog's face, and close to black, the colour of plain text.
struct LinkColours {
    int nBlue = 0;
    int nFace = 0;
    int nDark = 0;
    int nPixels = 0;
};

LinkColours ColoursOnScreen(HWND hWnd) {
    RECT rect{};
    GetWindowRect(hWnd, &rect);
    const HDC hScreen = GetDC(nullptr);
    LinkColours colours;
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x) {
            const COLORREF colour = GetPixel(hScreen, x, y);
            colours.nBlue += colour == RGB(0, 0, 255);
            colours.nFace += colour == GetSysColor(COLOR_BTNFACE);
            colours.nDark +=
                GetRValue(colour) < 64 && GetGValue(colour) < 64 && GetBValue(colour) < 64;
            ++colours.nPixels;
        }
    ReleaseDC(nullptr, hScreen);
    return colours;
}

// The command lines the stand-in was started with, split into arguments as a program's runtime
// splits them; the tests' are all ASCII.
std::vector<std::vector<std::string>> StandInRuns(const std::string& strLog) {
    std::vector<std::vector<std::string>> aRuns;
    std::ifstream file(strLog, std::ios::binary);
    for (std::string strLine; std::getline(file, strLine);) {
        int nArgs = 0;
        LPWSTR* ppArgs = CommandLineToArgvW(Widen(strLine).c_str(), &nArgs);
        std::vector<std::string> aArgs;
        for (int nArg = 0; ppArgs && nArg < nArgs; ++nArg)
            aArgs.emplace_back(ppArgs[nArg], ppArgs[nArg] + wcslen(ppArgs[nArg]));
        LocalFree(ppArgs);
        aRuns.push_back(aArgs);
    }
    return aRuns;
}

// Whether the program left a page of its own behind: in the temporary folder, where it writes
// them, or as the current folder's temp.htm, where it must not.
bool AnyPageLeft() {
    char szTemp[MAX_PATH] = {};
    GetTempPathA(sizeof szTemp, szTemp);
    for (const std::string& strPattern :
         {std::string(szTemp) + "quorvex-*.htm", std::string("temp.htm")}) {
        WIN32_FIND_DATAA found{};
        const HANDLE hFind = FindFirstFileA(strPattern.c_str(), &found);
        if (hFind != INVALID_HANDLE_VALUE) {
            FindClose(hFind);
            return true;
        }
    }
    return false;
}

RECT ClientRect(HWND hWnd) {
    RECT rect{};
    GetClientRect(hWnd, &rect);
    return rect;
}

// A click as the link sees it; the link reports it to the dialog because it notifies of clicks.
void Click(HWND hControl) {
    PostMessageA(hControl, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    PostMessageA(hControl, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
}

class AboutTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        for (const std::string& strKey : CHANGED_VALUES)
            m_aSaved.emplace_back(strKey, ReadValue(HKEY_LOCAL_MACHINE, CLASSES_KEY + strKey, ""));
        SetEnvironmentVariableA("QV_STANDIN_LOG", m_strStandInLog.c_str());
        SetEnvironmentVariableA("QUORVEX_UPDATE_URL", TEST_UPDATE_URL);
    }

    void TearDown() override {
        for (const auto& [strKey, saved] : m_aSaved) {
            if (saved)
                WriteValue(HKEY_LOCAL_MACHINE, CLASSES_KEY + strKey, "", *saved);
            else
                DeleteValue(HKEY_LOCAL_MACHINE, CLASSES_KEY + strKey, "");
        }
        for (const std::string& strClass : {STANDIN_CLASS, NO_PROGRAM_CLASS})
            DeleteKeyTree(HKEY_LOCAL_MACHINE, CLASSES_KEY + strClass);
        SetEnvironmentVariableA("QV_STANDIN_LOG", nullptr);
        SetEnvironmentVariableA("QUORVEX_UPDATE_URL", nullptr);
        MainWindowTest::TearDown();
    }

    static void SetClass(const std::string& strKey, const std::string& strText) {
        WriteValue(HKEY_LOCAL_MACHINE, CLASSES_KEY + strKey, "", Text(strText));
    }
    // Pages, and mail addresses, open in the stand-in; or pages open in nothing.
    static void RegisterStandIn(bool bForPages) {
        std::string strCommand = "\"";
        strCommand += StandInExe() + "\" \"%1\"";
        SetClass(STANDIN_CLASS + "\\shell\\open\\command", strCommand);
        SetClass("mailto\\shell\\open\\command", strCommand);
        for (const char* pszType : {".htm", ".html"})
            SetClass(pszType, bForPages ? STANDIN_CLASS : NO_PROGRAM_CLASS);
    }

    // The demo with its About dialog open over the main window; null when it does not open.
    HWND OpenAbout() {
        m_process = StartDemo();
        m_hMain = WaitUntilReady(*m_process);
        if (!m_hMain)
            return nullptr;
        Command(m_hMain, ID_MENU_ABOUT);
        return WaitForDialog(m_process->Id(), "About Quorvex");
    }

    std::vector<std::pair<std::string, std::optional<RegistryValue>>> m_aSaved;
    std::string m_strStandInLog = FreshFile(".standin.log");
    std::unique_ptr<CProcess> m_process;
    HWND m_hMain = nullptr;
};

TEST_F(AboutTest, ShowsTheVersionAndTheLinksInBlueAndCloses) {
    const HWND hAbout = OpenAbout();
    ASSERT_TRUE(hAbout);
    EXPECT_EQ(GetWindow(hAbout, GW_OWNER), m_hMain);
    EXPECT_FALSE(IsWindowEnabled(m_hMain));
    EXPECT_EQ(ControlText(hAbout, IDC_ABOUT_TITLE), "Quorvex");
    EXPECT_THAT(ChildTexts(hAbout), Contains(QV_VERSION_TEXT));
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    GetGUIThreadInfo(GetWindowThreadProcessId(hAbout, nullptr), &thread);
    EXPECT_EQ(thread.hwndFocus, GetDlgItem(hAbout, IDC_ABOUT_CLOSE));
    for (const int nLink : {IDC_ABOUT_WEB_LINK, IDC_ABOUT_SUPPORT_LINK}) {
        const HWND hLink = GetDlgItem(hAbout, nLink);
        LinkColours colours;
        WaitUntil([&] { return (colours = ColoursOnScreen(hLink)).nBlue > 0; }, 10s);
        EXPECT_GT(colours.nBlue, 0) << nLink;
        EXPECT_EQ(colours.nDark, 0) << nLink;
        // The text stands on the face, which fills the rest of the control.
        EXPECT_GT(colours.nFace, colours.nPixels / 2) << nLink;
    }
    EXPECT_TRUE(TakeScreenshot("about-dialog", hAbout));

    // Three tools, the links and the check button; the button's names the server in use.
    const HWND hCheck = GetDlgItem(hAbout, IDC_ABOUT_CHECK_UPDATE);
    const std::string strTip = "Check for available updates on updates.velnor.example";
    EXPECT_EQ(HoverForToolTip(hCheck, ClientRect(hCheck), m_process->Id(), strTip, 10s), strTip);
    const HWND hToolTips = FindWindowOf(m_process->Id(), [&](HWND hWnd) {
        return GetWindow(hWnd, GW_OWNER) == hAbout && ClassOf(hWnd) == TOOLTIPS_CLASSA;
    });
    EXPECT_EQ(SendMessageA(hToolTips, TTM_GETTOOLCOUNT, 0, 0), 3);

    // A second About command, as the notification area's menu may give, opens no second dialog.
    Command(m_hMain, ID_MENU_ABOUT);
    Command(hAbout, IDC_ABOUT_CLOSE);
    EXPECT_TRUE(WaitUntil(
        [&] { return !FindOtherDialog(m_process->Id()) && IsWindowEnabled(m_hMain); }, 10s));
}

TEST_F(AboutTest, TheLinksStartTheBrowserAndTheMailProgramOrSayNoProgramOpensPages) {
    RegisterStandIn(false);
    const HWND hAbout = OpenAbout();
    ASSERT_TRUE(hAbout);
    const HWND hWebLink = GetDlgItem(hAbout, IDC_ABOUT_WEB_LINK);
    Click(hWebLink);
    const HWND hBox =
        WaitForDialog(m_process->Id(), "Quorvex", "Could not find associated Browser");
    ASSERT_TRUE(hBox);
    EXPECT_EQ(GetWindow(hBox, GW_OWNER), hAbout);
    Command(hBox, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(hBox); }, 10s));

    RegisterStandIn(true);
    Click(hWebLink);
    Click(GetDlgItem(hAbout, IDC_ABOUT_SUPPORT_LINK));
    EXPECT_TRUE(WaitUntil([&] { return StandInRuns(m_strStandInLog).size() == 2; }, 30s));
    EXPECT_THAT(StandInRuns(m_strStandInLog),
                UnorderedElementsAre(ElementsAre(_, QV_HOME_PAGE),
                                     ElementsAre(_, "mailto:" QV_SUPPORT_ADDRESS)));
    EXPECT_FALSE(AnyPageLeft());
}

} // namespace
} // namespace qv::e2e
