// The About dialog over the demo's main window: its owner, texts, blue links, focus and single
// instance, and the programs its links start through the shell, or its message when no program
// opens pages. A stand-in program is the user's browser and mail program; it writes down how it
// was started. The native tests hold the dialog's texts and tooltips.
#include "app/BuildConfig.h"
#include "tests/e2e/win32/MainWindowFixture.h"
#include "tests/e2e/win32/ProgramUnderTest.h"
#include "tests/e2e/win32/RegistryReader.h"

#include <gmock/gmock.h>

#include <filesystem>

namespace qv::e2e {
namespace {

using namespace std::chrono_literals;
using ::testing::Contains;

// Pages, and mail addresses, open in the stand-in; or pages open in a class that names no program.
// Wine 8 reads HKEY_CLASSES_ROOT from the machine's classes alone, without the user's
// Software\Classes over them, so the tests' classes go there; the session's prefix is its own.
void RegisterStandIn(bool bForPages) {
    const std::string strCommand = '"' + StandInExe() + "\" \"%1\"";
    const std::string strPages = bForPages ? "QuorvexTest.StandIn" : "QuorvexTest.NoProgram";
    for (const auto& [strKey, strText] :
         {std::pair{"QuorvexTest.StandIn\\shell\\open\\command", strCommand},
          {"mailto\\shell\\open\\command", strCommand},
          {".htm", strPages},
          {".html", strPages}})
        WriteValue(HKEY_LOCAL_MACHINE, std::string("Software\\Classes\\") + strKey, "",
                   Text(strText));
}

// How many pixels of a window the screen shows in the link colour, RGB(0, 0, 255), in the
// dialog's face, and close to black, the colour of plain text.
struct LinkColours {
    int nBlue = 0, nFace = 0, nDark = 0, nPixels = 0;
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

// Whether the program left a page of its own behind: in the temporary folder, where it writes
// them, or as the current folder's temp.htm, where it must not.
bool AnyPageLeft() {
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::temp_directory_path()))
        if (entry.path().filename().string().starts_with("quorvex-") &&
            entry.path().extension() == ".htm")
            return true;
    return std::filesystem::exists("temp.htm");
}

// A click as the link sees it; the link reports it to the dialog because it notifies of clicks.
void Click(HWND hControl) {
    PostMessageA(hControl, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    PostMessageA(hControl, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
}

// scripts/screenshots.sh takes the About dialog's picture through this test's name.
class AboutTest : public MainWindowTest {};

TEST_F(AboutTest, ShowsTheVersionAndTheLinksInBlueAndCloses) {
    const std::string strStandInLog = FreshFile(".standin.log");
    RegisterStandIn(false);
    const auto process = StartDemo("", "", {{"QV_STANDIN_LOG", strStandInLog}});
    const HWND hAbout = OpenAbout(*process);
    ASSERT_TRUE(hAbout);
    const HWND hMain = FindMainWindow(process->Id());
    EXPECT_EQ(GetWindow(hAbout, GW_OWNER), hMain);
    EXPECT_FALSE(IsWindowEnabled(hMain));
    EXPECT_THAT(ChildTexts(hAbout), Contains(QV_VERSION_TEXT));
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    GetGUIThreadInfo(GetWindowThreadProcessId(hAbout, nullptr), &thread);
    EXPECT_EQ(thread.hwndFocus, GetDlgItem(hAbout, IDC_ABOUT_CLOSE));
    for (const int nLink : {IDC_ABOUT_WEB_LINK, IDC_ABOUT_SUPPORT_LINK}) {
        LinkColours colours;
        WaitUntil([&] { return (colours = ColoursOnScreen(GetDlgItem(hAbout, nLink))).nBlue > 0; },
                  10s);
        EXPECT_GT(colours.nBlue, 0) << nLink;
        EXPECT_EQ(colours.nDark, 0) << nLink;
        // The text stands on the face, which fills the rest of the control.
        EXPECT_GT(colours.nFace, colours.nPixels / 2) << nLink;
    }
    EXPECT_TRUE(TakeScreenshot("about-dialog", hAbout));

    Click(GetDlgItem(hAbout, IDC_ABOUT_WEB_LINK));
    const HWND hBox = WaitForDialog(process->Id(), "Quorvex", "Could not find associated Browser");
    ASSERT_TRUE(hBox);
    EXPECT_EQ(GetWindow(hBox, GW_OWNER), hAbout);
    Command(hBox, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(hBox); }, 10s));

    RegisterStandIn(true);
    Click(GetDlgItem(hAbout, IDC_ABOUT_WEB_LINK));
    Click(GetDlgItem(hAbout, IDC_ABOUT_SUPPORT_LINK));
    // Each address arrives whole as the stand-in's last argument, quoted or not.
    const auto arrived = [&](const std::string& strAddress) {
        const std::string strRuns = FileText(strStandInLog);
        return strRuns.find(" " + strAddress + "\n") != std::string::npos ||
               strRuns.find(" \"" + strAddress + "\"\n") != std::string::npos;
    };
    EXPECT_TRUE(WaitUntil(
        [&] { return arrived(QV_HOME_PAGE) && arrived("mailto:" QV_SUPPORT_ADDRESS); }, 30s))
        << FileText(strStandInLog);
    EXPECT_FALSE(AnyPageLeft());

    // A second About command, as the notification area's menu may give, opens no second dialog.
    Command(hMain, ID_MENU_ABOUT);
    Command(hAbout, IDC_ABOUT_CLOSE);
    EXPECT_TRUE(
        WaitUntil([&] { return !FindOtherDialog(process->Id()) && IsWindowEnabled(hMain); }, 10s));
}

} // namespace
} // namespace qv::e2e
