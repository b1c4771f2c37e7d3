// The About dialog over the demo's main window: what it shows, its blue links and tooltips, the
// programs its links start or the message when none opens pages, and its end when an updater is
// about to run. A stand-in program is the user's browser and mail program; it writes down how it
// was started.
#include "app/BuildConfig.h"
#include "tests/e2e/win32/MainWindowFixture.h"
#include "tests/e2e/win32/ProgramUnderTest.h"
#include "tests/e2e/win32/RegistryReader.h"

#include <commctrl.h>
#include <shellapi.h>

#include <gmock/gmock.h>

#include <fstream>
#include <memory>
#include <optional>

namespace qv::e2e {
namespace {

using namespace std::chrono_literals;
using ::testing::_;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Wine 8 reads HKEY_CLASSES_ROOT from the machine's classes alone, without the user's
// Software\Classes over them, so the tests' classes go there.
const HKEY CLASSES_ROOT = HKEY_LOCAL_MACHINE;
constexpr const char* CLASSES_KEY = "Software\\Classes\\";
constexpr const char* STANDIN_CLASS = "QuorvexTest.StandIn";
// A page type whose class names no program.
constexpr const char* NO_PROGRAM_CLASS = "QuorvexTest.NoProgram";
// Not the maker's update server: the Check for Update tooltip names the server the program
// was given.
constexpr const char* TEST_UPDATE_URL = "http://updates.velnor.example/quorvex/version.txt";
constexpr const char* TEST_UPDATE_HOST = "updates.velnor.example";

RegistryValue Text(const std::string& strText) {
    return {REG_SZ, std::vector<BYTE>(strText.c_str(), strText.c_str() + strText.size() + 1)};
}

bool KeyExists(const std::string& strKey) {
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(CLASSES_ROOT, strKey.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return false;
    RegCloseKey(hKey);
    return true;
}

// A value of a class that a test sets, put back as it was when the test is over: the prefix's
// own classes serve the other tests.
class CClassValue {
public:
    CClassValue(const std::string& strKey, const std::string& strName, const std::string& strText)
        : m_strKey(CLASSES_KEY + strKey), m_strName(strName),
          m_previous(ReadValue(CLASSES_ROOT, m_strKey, strName)) {
        // The outermost key on the way that is still missing goes again as a whole.
        for (std::size_t nEnd = 0; nEnd != std::string::npos && m_strCreated.empty();) {
            nEnd = m_strKey.find('\\', nEnd + 1);
            const std::string strPart = m_strKey.substr(0, nEnd);
            if (!KeyExists(strPart))
                m_strCreated = strPart;
        }
        WriteValue(CLASSES_ROOT, m_strKey, strName, Text(strText));
    }
    ~CClassValue() {
        if (!m_strCreated.empty())
            DeleteKeyTree(CLASSES_ROOT, m_strCreated);
        else if (m_previous)
            WriteValue(CLASSES_ROOT, m_strKey, m_strName, *m_previous);
        else
            DeleteValue(CLASSES_ROOT, m_strKey, m_strName);
    }
    CClassValue(const CClassValue&) = delete;
    CClassValue& operator=(const CClassValue&) = delete;

private:
    std::string m_strKey;
    std::string m_strName;
    std::optional<RegistryValue> m_previous;
    std::string m_strCreated;
};

std::string StandInCommand() {
    // Built up in steps: GCC 12 takes "literal" + std::string for an overlapping copy.
    std::string strCommand = "\"";
    strCommand += StandInExe() + "\" \"%1\"";
    return strCommand;
}

std::wstring FromUtf8(const std::string& strText) {
    const int nWide = MultiByteToWideChar(CP_UTF8, 0, strText.data(),
                                          static_cast<int>(strText.size()), nullptr, 0);
    std::wstring strWide(static_cast<std::size_t>(nWide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, strText.data(), static_cast<int>(strText.size()),
                        strWide.data(), nWide);
    return strWide;
}

std::string ToUtf8(const wchar_t* pszText) {
    const int nBytes = WideCharToMultiByte(CP_UTF8, 0, pszText, -1, nullptr, 0, nullptr, nullptr);
    std::string strText(static_cast<std::size_t>(std::max(nBytes, 1)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, pszText, -1, strText.data(), nBytes, nullptr, nullptr);
    strText.resize(strText.size() - 1);
    return strText;
}

// The command lines the stand-in was started with, split into arguments as a program's runtime
// splits them.
std::vector<std::vector<std::string>> StandInRuns(const std::string& strLog) {
    std::vector<std::vector<std::string>> aRuns;
    std::ifstream file(strLog, std::ios::binary);
    std::string strLine;
    while (std::getline(file, strLine)) {
        int nArgs = 0;
        LPWSTR* ppArgs = CommandLineToArgvW(FromUtf8(strLine).c_str(), &nArgs);
        if (!ppArgs)
            continue;
        std::vector<std::string> aArgs;
        for (int nArg = 0; nArg < nArgs; ++nArg)
            aArgs.push_back(ToUtf8(ppArgs[nArg]));
        LocalFree(ppArgs);
        aRuns.push_back(aArgs);
    }
    return aRuns;
}

// The names of a folder's files that match a pattern such as "*.htm".
std::vector<std::string> FilesLike(const std::string& strFolder, const std::string& strPattern) {
    std::vector<std::string> aNames;
    WIN32_FIND_DATAA found{};
    const HANDLE hFind = FindFirstFileA((strFolder + strPattern).c_str(), &found);
    if (hFind == INVALID_HANDLE_VALUE)
        return aNames;
    do
        aNames.emplace_back(found.cFileName);
    while (FindNextFileA(hFind, &found));
    FindClose(hFind);
    return aNames;
}

// Every page the program could have left behind, in the temporary folder and the current one.
std::vector<std::string> LeftoverPages() {
    char szTemp[MAX_PATH] = {};
    GetTempPathA(sizeof szTemp, szTemp);
    char szCurrent[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof szCurrent, szCurrent);
    std::vector<std::string> aLeft;
    for (const std::string& strFolder : {std::string(szTemp), std::string(szCurrent) + "\\"})
        for (const char* pszPattern : {"quorvex-*.htm", "temp.htm"})
            for (const auto& strName : FilesLike(strFolder, pszPattern))
                aLeft.push_back(strFolder + strName);
    return aLeft;
}

std::string ClassOf(HWND hWnd) {
    char szClass[32] = {};
    GetClassNameA(hWnd, szClass, sizeof szClass);
    return szClass;
}

// A top-level window of the given class that hOwner owns.
HWND FindOwned(HWND hOwner, const char* pszClass) {
    for (HWND hWnd = GetWindow(GetDesktopWindow(), GW_CHILD); hWnd;
         hWnd = GetWindow(hWnd, GW_HWNDNEXT))
        if (GetWindow(hWnd, GW_OWNER) == hOwner && ClassOf(hWnd) == pszClass)
            return hWnd;
    return nullptr;
}

struct LinkColours {
    int nBlue = 0; // the link colour, RGB(0, 0, 255)
    int nFace = 0; // the dialog's face
    int nDark = 0; // close to black, the colour of plain text
    int nPixels = 0;
};

// How the screen shows a window's rectangle now.
LinkColours ColoursOnScreen(HWND hWnd) {
    RECT rect{};
    GetWindowRect(hWnd, &rect);
    const int cx = rect.right - rect.left;
    const int cy = rect.bottom - rect.top;
    LinkColours colours;
    if (cx <= 0 || cy <= 0)
        return colours;
    const HDC hScreen = GetDC(nullptr);
    const HDC hMemory = CreateCompatibleDC(hScreen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, cx, -cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* pBits = nullptr;
    const HBITMAP hBitmap = CreateDIBSection(hScreen, &info, DIB_RGB_COLORS, &pBits, nullptr, 0);
    const HGDIOBJ hOld = SelectObject(hMemory, hBitmap);
    BitBlt(hMemory, 0, 0, cx, cy, hScreen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const auto* pPixels = static_cast<const DWORD*>(pBits);
    for (int nPixel = 0; nPixel < cx * cy; ++nPixel) {
        // A 32-bit DIB holds 0x00RRGGBB.
        const DWORD dwPixel = pPixels[nPixel];
        const COLORREF colour = RGB((dwPixel >> 16) & 0xFF, (dwPixel >> 8) & 0xFF, dwPixel & 0xFF);
        colours.nBlue += colour == RGB(0, 0, 255);
        colours.nFace += colour == face;
        colours.nDark += GetRValue(colour) < 64 && GetGValue(colour) < 64 && GetBValue(colour) < 64;
        ++colours.nPixels;
    }
    SelectObject(hMemory, hOld);
    DeleteObject(hBitmap);
    DeleteDC(hMemory);
    ReleaseDC(nullptr, hScreen);
    return colours;
}

HWND FocusOf(HWND hWnd) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(hWnd, nullptr), &info);
    return info.hwndFocus;
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
        m_strStandInLog = FreshFile(".standin.log");
        SetEnvironmentVariableA("QV_STANDIN_LOG", m_strStandInLog.c_str());
        SetEnvironmentVariableA("QUORVEX_UPDATE_URL", TEST_UPDATE_URL);
        SetClassValue(std::string(STANDIN_CLASS) + "\\shell\\open\\command", "", StandInCommand());
        RegisterPageClass(STANDIN_CLASS);
        SetClassValue("mailto", "URL Protocol", "");
        SetClassValue("mailto\\shell\\open\\command", "", StandInCommand());
    }

    void TearDown() override {
        // Last set, first restored: a value set twice ends as it was before the first.
        while (!m_aClassValues.empty())
            m_aClassValues.pop_back();
        SetEnvironmentVariableA("QV_STANDIN_LOG", nullptr);
        SetEnvironmentVariableA("QUORVEX_UPDATE_URL", nullptr);
        MainWindowTest::TearDown();
    }

    void SetClassValue(const std::string& strKey, const std::string& strName,
                       const std::string& strText) {
        m_aClassValues.push_back(std::make_unique<CClassValue>(strKey, strName, strText));
    }

    void RegisterPageClass(const char* pszClass) {
        for (const char* pszType : {".htm", ".html"})
            SetClassValue(pszType, "", pszClass);
    }

    // The demo with its About dialog open over the main window, after nCommands About commands;
    // null when it does not open.
    HWND OpenAbout(int nCommands = 1) {
        m_process = StartDemo();
        m_hMain = WaitUntilReady(*m_process);
        if (!m_hMain)
            return nullptr;
        for (int nCommand = 0; nCommand < nCommands; ++nCommand)
            Command(m_hMain, ID_MENU_ABOUT);
        HWND hAbout = nullptr;
        WaitUntil(
            [&] {
                hAbout = FindOtherDialog(m_process->Id());
                return hAbout && Caption(hAbout) == "About Quorvex";
            },
            30s);
        return hAbout && Caption(hAbout) == "About Quorvex" ? hAbout : nullptr;
    }

    std::vector<std::vector<std::string>> WaitForStandIn() {
        WaitUntil([&] { return !StandInRuns(m_strStandInLog).empty(); }, 30s);
        return StandInRuns(m_strStandInLog);
    }

    std::string m_strStandInLog;
    std::vector<std::unique_ptr<CClassValue>> m_aClassValues;
    std::unique_ptr<CProcess> m_process;
    HWND m_hMain = nullptr;
};

TEST_F(AboutTest, ShowsTheVersionAndTheLinksInBlueAndCloses) {
    const HWND hAbout = OpenAbout();
    ASSERT_TRUE(hAbout);
    EXPECT_EQ(GetWindow(hAbout, GW_OWNER), m_hMain);
    EXPECT_FALSE(IsWindowEnabled(m_hMain));
    EXPECT_EQ(ControlText(hAbout, IDC_ABOUT_TITLE), "Quorvex");
    EXPECT_THAT(ChildTexts(hAbout), Contains("Version"));
    EXPECT_THAT(ChildTexts(hAbout), Contains(QV_VERSION_TEXT));
    EXPECT_EQ(ControlText(hAbout, IDC_ABOUT_WEB_LINK), QV_HOME_PAGE);
    EXPECT_EQ(ControlText(hAbout, IDC_ABOUT_SUPPORT_LINK), QV_SUPPORT_ADDRESS);
    EXPECT_EQ(ControlText(hAbout, IDC_ABOUT_CHECK_UPDATE), "Check for &Update");
    EXPECT_EQ(FocusOf(hAbout), GetDlgItem(hAbout, IDC_ABOUT_CLOSE));

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

    PostMessageA(GetDlgItem(hAbout, IDC_ABOUT_CLOSE), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(hAbout); }, 10s));
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(m_hMain) != FALSE; }, 10s));
}

TEST_F(AboutTest, TooltipsNameTheLinksAndTheUpdateServerOnly) {
    const HWND hAbout = OpenAbout();
    ASSERT_TRUE(hAbout);
    const std::string strUpdateTip =
        std::string("Check for available updates on ") + TEST_UPDATE_HOST;
    const struct {
        int nControl;
        std::string strTip;
    } aTips[] = {
        {IDC_ABOUT_WEB_LINK, "Visit  Velnor Inc. home site"},
        {IDC_ABOUT_SUPPORT_LINK, "Contact Quorvex support team"},
        {IDC_ABOUT_CHECK_UPDATE, strUpdateTip},
    };
    for (const auto& tip : aTips) {
        const HWND hControl = GetDlgItem(hAbout, tip.nControl);
        EXPECT_EQ(HoverForToolTip(hControl, ClientRect(hControl), m_process->Id(), tip.strTip, 10s),
                  tip.strTip);
    }
    // The three above are all there are: Close, the title and the labels have none.
    const HWND hToolTips = FindOwned(hAbout, TOOLTIPS_CLASSA);
    ASSERT_TRUE(hToolTips);
    EXPECT_EQ(SendMessageA(hToolTips, TTM_GETTOOLCOUNT, 0, 0), 3);
}

TEST_F(AboutTest, TheWebLinkStartsTheHtmlProgramWithTheHomePageAndLeavesNoPage) {
    const HWND hAbout = OpenAbout();
    ASSERT_TRUE(hAbout);
    Click(GetDlgItem(hAbout, IDC_ABOUT_WEB_LINK));
    EXPECT_THAT(WaitForStandIn(), ElementsAre(ElementsAre(_, QV_HOME_PAGE)));
    EXPECT_THAT(LeftoverPages(), IsEmpty());
    EXPECT_TRUE(IsWindow(hAbout));
}

TEST_F(AboutTest, TheSupportLinkStartsTheMailProgramWithTheSupportAddress) {
    const HWND hAbout = OpenAbout();
    ASSERT_TRUE(hAbout);
    Click(GetDlgItem(hAbout, IDC_ABOUT_SUPPORT_LINK));
    EXPECT_THAT(WaitForStandIn(),
                ElementsAre(ElementsAre(_, std::string("mailto:") + QV_SUPPORT_ADDRESS)));
}

TEST_F(AboutTest, WithoutAnHtmlProgramTheWebLinkSaysSoAndLeavesNoPage) {
    RegisterPageClass(NO_PROGRAM_CLASS);
    const HWND hAbout = OpenAbout();
    ASSERT_TRUE(hAbout);
    Click(GetDlgItem(hAbout, IDC_ABOUT_WEB_LINK));
    HWND hBox = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (hBox = FindOwned(hAbout, "#32770")) != nullptr; }, 30s));
    // The box is created before its text is set.
    EXPECT_TRUE(WaitUntil(
        [&] { return ControlText(hBox, 0xFFFF) == "Could not find associated Browser"; }, 10s));
    EXPECT_EQ(Caption(hBox), "Quorvex");
    EXPECT_THAT(LeftoverPages(), IsEmpty());
    PostMessageA(hBox, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(hBox); }, 10s));
    EXPECT_THAT(StandInRuns(m_strStandInLog), IsEmpty());
}

// The second command comes while the first dialog runs, as the notification area's About can.
TEST_F(AboutTest, ASecondAboutCommandOpensNoSecondDialog) {
    const HWND hAbout = OpenAbout(2);
    ASSERT_TRUE(hAbout);
    // Queued after the second command, so handled after it.
    PostMessageA(GetDlgItem(hAbout, IDC_ABOUT_CLOSE), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitUntil(
        [&] { return !FindOtherDialog(m_process->Id()) && IsWindowEnabled(m_hMain); }, 10s));
}

// The worker that starts an updater asks the main window to end, with the About dialog open.
TEST_F(AboutTest, EndingForAnUpdaterEndsTheProgramFromUnderTheAboutDialog) {
    const HWND hAbout = OpenAbout();
    ASSERT_TRUE(hAbout);
    PostMessageA(m_hMain, WM_QV_END_FOR_UPDATE, 0, 0);
    const auto nExit = m_process->WaitForExit(30s);
    ASSERT_TRUE(nExit);
    EXPECT_EQ(*nExit, 0u);
}

} // namespace
} // namespace qv::e2e
