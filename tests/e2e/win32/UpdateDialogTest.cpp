// The update check as its user meets it: the automatic check at start, the on-demand check of
// the About dialog, its progress window and the hand-over to the updater, against the local test
// servers. One program run for each thing the windows show; the native tests hold the rules
// behind each outcome, and UpdateHttpTest what the Windows side refuses.
#include "tests/e2e/win32/MainWindowFixture.h"
#include "tests/e2e/win32/ProgramUnderTest.h"
#include "tests/e2e/win32/RegistryReader.h"
#include "tests/e2e/win32/UpdateServer.h"

#include <gmock/gmock.h>
#include <tlhelp32.h>

#include <ctime>

namespace qv::e2e {
namespace {

using namespace std::chrono_literals;

constexpr const char* NEW_VERSION_CAPTION = "New version is available";
constexpr const char* PROGRESS_CAPTION = "Quick Update";

// Where the process took the DLL of this file name from; empty when not loaded.
std::string LoadedFrom(DWORD dwProcessId, const char* pszName) {
    const HANDLE hSnapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, dwProcessId);
    MODULEENTRY32 module{};
    module.dwSize = sizeof module;
    std::string strPath;
    for (BOOL bMore = Module32First(hSnapshot, &module); bMore && strPath.empty();
         bMore = Module32Next(hSnapshot, &module))
        if (lstrcmpiA(module.szModule, pszName) == 0)
            strPath = module.szExePath;
    CloseHandle(hSnapshot);
    return strPath;
}

class UpdateDialogTest : public MainWindowTest {
protected:
    static void SetUpTestSuite() { TrustTestCa(); }
    // Last Suc Update holds a date older than any the server publishes.
    void SetUp() override {
        MainWindowTest::SetUp();
        WriteValue(HKEY_CURRENT_USER, APP_KEY, "Last Suc Update", Text("01/01/26"));
    }
    std::unique_ptr<CProcess> StartAsking(const std::string& strUrl,
                                          const std::string& strExe = Demo()) {
        return StartDemo("", "",
                         {{"QUORVEX_UPDATE_URL", strUrl},
                          {"QUORVEX_UPDATE_KEY", FromEnvironment("QV_UPDATE_KEY")},
                          {"QV_STANDIN_LOG", m_strUpdaterLog}},
                         strExe);
    }
    // The C library's count of the days since the first of January, UTC: what the automatic
    // check's schedule stores.
    static int UtcDayOfYear() {
        const std::time_t now = std::time(nullptr);
        return std::gmtime(&now)->tm_yday;
    }
    // A copy of the demo alone in a folder of its own, with a stand-in updater when asked, and a
    // stranger's DLLs named like two that the demo loads at their first use; its automatic check
    // is due, a week and a day after the last, or a day of the year before.
    std::string LoneDemo(bool bWithUpdater) {
        const int nToday = UtcDayOfYear();
        WriteValue(HKEY_CURRENT_USER, APP_KEY, "Last Update",
                   Text(std::to_string(nToday >= 8 ? nToday - 8 : 365)));
        const std::string strFolder = FreshFile("") + ".dir";
        CreateDirectoryA(strFolder.c_str(), nullptr);
        const std::string strExe = strFolder + "\\quorvex-demo.exe";
        CopyFileA(Demo().c_str(), strExe.c_str(), FALSE);
        if (bWithUpdater)
            CopyFileA(StandInExe().c_str(), (strFolder + "\\UpdateQuorvex.exe").c_str(), FALSE);
        // Wine loads its own of these even where a search finds files of their names; Windows loads
        // the files, and so does Wine for the demo with these overrides.
        for (const std::string strPlanted : {"comctl32", "wininet"}) {
            CopyFileA(BesideDriver("qv_planted_library.dll").c_str(),
                      (strFolder + "\\" + strPlanted + ".dll").c_str(), FALSE);
            WriteValue(HKEY_CURRENT_USER,
                       "Software\\Wine\\AppDefaults\\quorvex-demo.exe\\DllOverrides", strPlanted,
                       Text("native,builtin"));
        }
        return strExe;
    }
    // The dialog that a due check at start shows; null, with the reason, when it does not show.
    static HWND WaitForNews(CProcess& process) {
        const HWND hDialog = WaitForDialog(process.Id(), NEW_VERSION_CAPTION);
        EXPECT_TRUE(hDialog) << "exit code " << process.WaitForExit(0ms).value_or(STILL_ACTIVE)
                             << ", " << PLANTED_LIBRARY_EXIT << " when a planted DLL was loaded";
        return hDialog;
    }

    std::string m_strUpdaterLog = FreshFile(".updater.log");
};

// The description lies behind a redirect, which the check follows itself.
TEST_F(UpdateDialogTest, ADueCheckAtStartShowsSignedNewsAndYesStartsTheUpdaterBesideTheProgram) {
    const std::string strExe = LoneDemo(true);
    const auto process = StartAsking(UpdateUrl(Dated("redirect")), strExe);

    const HWND hDialog = WaitForNews(*process);
    ASSERT_TRUE(hDialog);
    EXPECT_EQ(ControlText(hDialog, IDC_NEW_VERSION_TEXT), Description(Tomorrow()));
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, APP_KEY, "Last Suc Update"), Tomorrow());
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, APP_KEY, "Last Update"), std::to_string(UtcDayOfYear()));
    ASSERT_NE(WaitUntilReady(*process), nullptr);
    EXPECT_FALSE(GetWindowLongA(hDialog, GWL_EXSTYLE) & WS_EX_TOPMOST) << "not over every program";
    EXPECT_TRUE(TakeScreenshot("new-version"));
    Command(hDialog, IDC_NEW_VERSION_YES);
    EXPECT_EQ(process->WaitForExit(30s), 0u);
    ASSERT_TRUE(WaitUntil([&] { return !FileText(m_strUpdaterLog).empty(); }, 30s));
    const std::string strUpdater =
        strExe.substr(0, strExe.find_last_of('\\') + 1) + "UpdateQuorvex.exe";
    EXPECT_THAT(FileText(m_strUpdaterLog), ::testing::HasSubstr(strUpdater));
}

// Nor is the help page beside the lone copy: F1 names the missing file.
TEST_F(UpdateDialogTest, YesWithoutAnUpdaterOrF1WithoutTheHelpPageSaysWhatIsMissing) {
    const auto process = StartAsking(UpdateUrl(Dated("desc")), LoneDemo(false));

    const HWND hDialog = WaitForNews(*process);
    ASSERT_TRUE(hDialog);
    Command(hDialog, IDC_NEW_VERSION_YES);
    const HWND hBox = WaitForDialog(process->Id(), "Quorvex", "Unable to run update.exe");
    ASSERT_NE(hBox, nullptr);
    EXPECT_FALSE(IsWindowVisible(hDialog)) << "the dialog has ended before the message";
    Command(hBox, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(hDialog); }, 10s));
    const HWND hWnd = WaitUntilReady(*process);
    ASSERT_TRUE(hWnd);
    // The common controls of version 6, which the manifest asks for.
    EXPECT_THAT(LoadedFrom(process->Id(), "comctl32.dll"), ::testing::HasSubstr("\\winsxs\\"));

    // What F1 sends; a message that carries a pointer can only be sent, and the box holds it up.
    HELPINFO help{sizeof help, HELPINFO_WINDOW, IDC_DRIVE_COMBO, GetDlgItem(hWnd, IDC_DRIVE_COMBO),
                  0,           {0, 0}};
    SendMessageTimeoutA(hWnd, WM_HELP, 0, reinterpret_cast<LPARAM>(&help), SMTO_NORMAL, 500,
                        nullptr);
    const HWND hHelpBox = WaitForWindowOf(process->Id(), [](HWND hFound) {
        return TextOf(hFound) == "Quorvex" &&
               ControlText(hFound, IDC_BOX_TEXT).find("quorvex-help.html") != std::string::npos;
    });
    ASSERT_TRUE(hHelpBox);
    EXPECT_EQ(GetWindow(hHelpBox, GW_OWNER), hWnd);
    Command(hHelpBox, IDOK);
}

TEST_F(UpdateDialogTest, OnDemandNewsIsShownInFrontOverTheProgressWindowAndNoClosesBoth) {
    const auto process = StartAsking(UpdateUrl(Dated("desc")));
    const HWND hAbout = OpenAbout(*process);
    ASSERT_NE(hAbout, nullptr);

    Command(hAbout, IDC_ABOUT_CHECK_UPDATE);
    const HWND hDialog = WaitForDialog(process->Id(), NEW_VERSION_CAPTION);
    ASSERT_NE(hDialog, nullptr);
    EXPECT_EQ(ControlText(hDialog, IDC_NEW_VERSION_TEXT), Description(Tomorrow()));
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == hDialog; }, 10s));
    EXPECT_TRUE(WaitForDialog(process->Id(), PROGRESS_CAPTION, "", 0ms)) << "open until the answer";
    Command(hDialog, IDC_NEW_VERSION_NO);
    EXPECT_TRUE(
        WaitUntil([&] { return !WaitForDialog(process->Id(), PROGRESS_CAPTION, "", 0ms); }, 10s));
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(hAbout) != FALSE; }, 10s));
}

// The check blocks in the real Internet functions until the window's close request abandons it.
TEST_F(UpdateDialogTest, ClosingTheProgressWindowAbandonsAStalledCheckAndThePressStartsAnother) {
    const auto process = StartAsking(UpdateUrl(Dated("stall")));
    const HWND hAbout = OpenAbout(*process);
    ASSERT_NE(hAbout, nullptr);

    Command(hAbout, IDC_ABOUT_CHECK_UPDATE);
    const auto asked = [] {
        return FileText(FromEnvironment("QV_UPDATE_SERVER_LOG")).find("/" + Dated("stall") + "/");
    };
    ASSERT_TRUE(WaitUntil([&] { return asked() != std::string::npos; }, 30s));
    const HWND hProgress = WaitForDialog(process->Id(), PROGRESS_CAPTION);
    ASSERT_NE(hProgress, nullptr);
    EXPECT_FALSE(IsWindowEnabled(hAbout));
    PostMessageA(hProgress, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(hProgress); }, 10s));
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(hAbout) != FALSE; }, 10s));
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, APP_KEY, "Last Suc Update"), "01/01/26");

    Command(hAbout, IDC_ABOUT_CHECK_UPDATE);
    EXPECT_TRUE(WaitForDialog(process->Id(), PROGRESS_CAPTION, "", 10s)) << "a new check, at once";
}

} // namespace
} // namespace qv::e2e
