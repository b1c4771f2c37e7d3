// The update check as its user meets it: the automatic check at start, the on-demand check of
// the About dialog, the answer to a server that cannot be trusted and the hand-over to the
// updater, against the local test servers. One program run for each thing the windows show; the
// native tests hold the rules behind each outcome.
#include "platform/win32/Win32Clock.h"
#include "tests/e2e/win32/MainWindowFixture.h"
#include "tests/e2e/win32/ProgramUnderTest.h"
#include "tests/e2e/win32/RegistryReader.h"
#include "tests/e2e/win32/UpdateServer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace qv::e2e {
namespace {

using namespace std::chrono_literals;

constexpr const char* NEW_VERSION_CAPTION = "New version is available";
constexpr const char* FAILED_TEXT = "Cannot find update info, or info has a wrong format.";
constexpr const char* NOTHING_NEWER_TEXT = "There is no any newer version of Quorvex available.";

// The clock's own reading, which Win32ClockTest checks against the calendar.
int UtcDayOfYear() {
    return win32::CWin32Clock().UtcDayOfYear();
}

std::string WindowText(HWND hWnd) {
    char szText[1024] = {};
    GetWindowTextA(hWnd, szText, sizeof szText);
    return szText;
}

struct WindowSearch {
    DWORD dwProcessId;
    const std::string& strCaption;
    const std::string& strText;
    HWND hFound;
};

BOOL CALLBACK TestWindow(HWND hWnd, LPARAM lParam) {
    auto& search = *reinterpret_cast<WindowSearch*>(lParam);
    DWORD dwOwner = 0;
    GetWindowThreadProcessId(hWnd, &dwOwner);
    if (dwOwner != search.dwProcessId || !IsWindowVisible(hWnd) ||
        WindowText(hWnd) != search.strCaption ||
        (!search.strText.empty() && ControlText(hWnd, 0xFFFF) != search.strText))
        return TRUE;
    search.hFound = hWnd;
    return FALSE;
}

// A visible top-level window of the process with this caption, and, for a message box, this
// text.
HWND FindShown(DWORD dwProcessId, const std::string& strCaption, const std::string& strText = "") {
    WindowSearch search{dwProcessId, strCaption, strText, nullptr};
    EnumWindows(TestWindow, reinterpret_cast<LPARAM>(&search));
    return search.hFound;
}

HWND WaitForShown(DWORD dwProcessId, const std::string& strCaption, const std::string& strText = "",
                  std::chrono::milliseconds limit = 30s) {
    HWND hWnd = nullptr;
    WaitUntil([&] { return (hWnd = FindShown(dwProcessId, strCaption, strText)) != nullptr; },
              limit);
    return hWnd;
}

void Press(HWND hDialog, int nId) {
    PostMessageA(hDialog, WM_COMMAND, MAKEWPARAM(nId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(hDialog, nId)));
}

std::string ReadFileText(const std::string& strPath) {
    std::ifstream file(strPath, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Where the process took the DLL of this file name from, in lower case; empty when not loaded.
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
    std::transform(strPath.begin(), strPath.end(), strPath.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return strPath;
}

class UpdateDialogTest : public MainWindowTest {
protected:
    static void SetUpTestSuite() { TrustTestCa(); }
    std::unique_ptr<CProcess> StartAsking(const std::string& strUrl,
                                          const std::string& strExe = Demo()) {
        return std::make_unique<CProcess>(
            strExe, "",
            std::map<std::string, std::string>{{"QUORVEX_UPDATE_URL", strUrl},
                                               {"QUORVEX_UPDATE_KEY", ServerKey()},
                                               {"QUORVEX_SIM_LOG", m_strLog},
                                               {"QV_STANDIN_LOG", m_strUpdaterLog}});
    }
    // A week and a day since the last automatic check, or a day of the year before.
    static void PlantDueCheck() {
        const int nToday = UtcDayOfYear();
        const std::string strDay = std::to_string(nToday >= 8 ? nToday - 8 : 365);
        WriteValue(HKEY_CURRENT_USER, APP_KEY, "Last Update",
                   {REG_SZ, std::vector<BYTE>(strDay.begin(), strDay.end())});
    }
    static void PlantLastSuccess(const std::string& strDate) {
        WriteValue(HKEY_CURRENT_USER, APP_KEY, "Last Suc Update",
                   {REG_SZ, std::vector<BYTE>(strDate.begin(), strDate.end())});
    }
    // The text of a value; the exact bytes, filler included, are the unit tests' concern, and
    // an ANSI read of a text the registry keeps in UTF-16 may bring a zero of its own.
    static std::optional<std::string> Stored(const char* pszName) {
        const auto value = ReadValue(HKEY_CURRENT_USER, APP_KEY, pszName);
        if (!value)
            return std::nullopt;
        const std::string strBytes = value->AsBytesText();
        return strBytes.substr(0, strBytes.find('\0'));
    }
    // The About dialog of the running program, opened from its menu.
    static HWND OpenAbout(const CProcess& process) {
        const HWND hMain = WaitUntilReady(process);
        if (!hMain)
            return nullptr;
        Command(hMain, ID_MENU_ABOUT);
        return WaitForShown(process.Id(), "About Quorvex");
    }
    // A copy of the demo alone in a folder of its own, with a stand-in updater when asked, and a
    // stranger's DLLs named like two that the demo loads at their first use.
    std::string LoneDemo(bool bWithUpdater) {
        const std::string strFolder = FreshFile("") + ".dir";
        CreateDirectoryA(strFolder.c_str(), nullptr);
        const std::string strExe = strFolder + "\\quorvex-demo.exe";
        CopyFileA(Demo().c_str(), strExe.c_str(), FALSE);
        if (bWithUpdater)
            CopyFileA(StandInExe().c_str(), (strFolder + "\\UpdateQuorvex.exe").c_str(), FALSE);
        // Wine loads its own of these even where a search finds files of their names; Windows loads
        // the files, and so does Wine for the demo with these overrides.
        const std::string strOrder = "native,builtin";
        for (const std::string strPlanted : {"comctl32", "wininet"}) {
            CopyFileA(BesideDriver("qv_planted_library.dll").c_str(),
                      (strFolder + "\\" + strPlanted + ".dll").c_str(), FALSE);
            WriteValue(HKEY_CURRENT_USER,
                       "Software\\Wine\\AppDefaults\\quorvex-demo.exe\\DllOverrides", strPlanted,
                       {REG_SZ, {strOrder.c_str(), strOrder.c_str() + strOrder.size() + 1}});
        }
        return strExe;
    }

    std::string m_strUpdaterLog = FreshFile(".updater.log");
};

TEST_F(UpdateDialogTest, ADueCheckAtStartShowsSignedNewsAndNoClosesIt) {
    PlantDueCheck();
    PlantLastSuccess("01/01/26");
    const auto process = StartAsking(UpdateUrl(Dated("desc")));

    const HWND hDialog = WaitForShown(process->Id(), NEW_VERSION_CAPTION);
    ASSERT_NE(hDialog, nullptr);
    EXPECT_EQ(ControlText(hDialog, IDC_NEW_VERSION_TEXT), Description(Tomorrow()));
    EXPECT_EQ(Stored("Last Suc Update"), Tomorrow());
    EXPECT_EQ(Stored("Last Update"), std::to_string(UtcDayOfYear()));
    ASSERT_NE(WaitUntilReady(*process), nullptr);
    EXPECT_FALSE(GetWindowLongA(hDialog, GWL_EXSTYLE) & WS_EX_TOPMOST) << "not over every program";
    EXPECT_TRUE(TakeScreenshot("new-version"));
    Press(hDialog, IDC_NEW_VERSION_NO);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(hDialog); }, 10s));
    EXPECT_NE(WaitUntilReady(*process), nullptr) << "the program goes on";
}

TEST_F(UpdateDialogTest, ADueCheckAtStartIsSilentOnATamperedDescriptionAndStillStampsTheDay) {
    PlantDueCheck();
    PlantLastSuccess("01/01/26");
    const auto process = StartAsking(UpdateUrl(Dated("tampered")));

    ASSERT_TRUE(WaitUntil([] { return WasAsked(Dated("tampered")); }, 30s));
    std::this_thread::sleep_for(2s);
    EXPECT_EQ(FindShown(process->Id(), NEW_VERSION_CAPTION), nullptr);
    EXPECT_EQ(FindShown(process->Id(), "Quorvex", FAILED_TEXT), nullptr);
    EXPECT_EQ(Stored("Last Suc Update"), "01/01/26");
    EXPECT_EQ(Stored("Last Update"), std::to_string(UtcDayOfYear()));
}

TEST_F(UpdateDialogTest, YesStartsTheUpdaterBesideTheProgramAndEndsIt) {
    PlantDueCheck();
    PlantLastSuccess("01/01/26");
    const std::string strExe = LoneDemo(true);
    const auto process = StartAsking(UpdateUrl(Dated("desc")), strExe);

    const HWND hDialog = WaitForShown(process->Id(), NEW_VERSION_CAPTION);
    ASSERT_NE(hDialog, nullptr);
    Press(hDialog, IDC_NEW_VERSION_YES);
    EXPECT_EQ(process->WaitForExit(30s), 0u);
    ASSERT_TRUE(WaitUntil([&] { return !ReadFileText(m_strUpdaterLog).empty(); }, 30s));
    const std::string strUpdater =
        strExe.substr(0, strExe.find_last_of('\\') + 1) + "UpdateQuorvex.exe";
    EXPECT_NE(ReadFileText(m_strUpdaterLog).find(strUpdater), std::string::npos)
        << ReadFileText(m_strUpdaterLog);
}

TEST_F(UpdateDialogTest, YesWithoutAnUpdaterSaysSoAndTheProgramGoesOn) {
    PlantDueCheck();
    PlantLastSuccess("01/01/26");
    const auto process = StartAsking(UpdateUrl(Dated("desc")), LoneDemo(false));

    const HWND hDialog = WaitForShown(process->Id(), NEW_VERSION_CAPTION);
    ASSERT_NE(hDialog, nullptr) << "exit code " << process->WaitForExit(0ms).value_or(STILL_ACTIVE)
                                << ", " << PLANTED_LIBRARY_EXIT << " when a planted DLL was loaded";
    Press(hDialog, IDC_NEW_VERSION_YES);
    const HWND hBox = WaitForShown(process->Id(), "Quorvex", "Unable to run update.exe");
    ASSERT_NE(hBox, nullptr);
    EXPECT_FALSE(IsWindowVisible(hDialog)) << "the dialog has ended before the message";
    Press(hBox, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(hDialog); }, 10s));
    EXPECT_EQ(process->WaitForExit(2s), std::nullopt);
    EXPECT_NE(WaitUntilReady(*process), nullptr);
    EXPECT_THAT(LoadedFrom(process->Id(), "comctl32.dll"), ::testing::HasSubstr("\\winsxs\\"))
        << "the common controls of version 6, which the manifest asks for";
}

TEST_F(UpdateDialogTest, OnDemandNewsIsShownInFrontOnceAndThenNothingNewer) {
    PlantLastSuccess("01/01/26");
    const auto process = StartAsking(UpdateUrl(Dated("desc")));
    const HWND hAbout = OpenAbout(*process);
    ASSERT_NE(hAbout, nullptr);

    Press(hAbout, IDC_ABOUT_CHECK_UPDATE);
    const HWND hDialog = WaitForShown(process->Id(), NEW_VERSION_CAPTION);
    ASSERT_NE(hDialog, nullptr);
    EXPECT_EQ(ControlText(hDialog, IDC_NEW_VERSION_TEXT), Description(Tomorrow()));
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == hDialog; }, 10s));
    EXPECT_NE(FindShown(process->Id(), "Quick Update"), nullptr) << "open until the answer";
    Press(hDialog, IDC_NEW_VERSION_NO);
    EXPECT_TRUE(WaitUntil([&] { return !FindShown(process->Id(), "Quick Update"); }, 10s));
    EXPECT_EQ(Stored("Last Suc Update"), Tomorrow());

    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(hAbout) != FALSE; }, 10s));
    Press(hAbout, IDC_ABOUT_CHECK_UPDATE);
    const HWND hBox = WaitForShown(process->Id(), "Quorvex", NOTHING_NEWER_TEXT);
    ASSERT_NE(hBox, nullptr);
    Press(hBox, IDOK);
}

TEST_F(UpdateDialogTest, OnDemandAnUntrustedCertificateGivesTheWrongFormatMessage) {
    PlantLastSuccess("01/01/26");
    const auto process = StartAsking(UpdateUrl(Dated("desc"), "QV_UPDATE_UNTRUSTED_PORT"));
    const HWND hAbout = OpenAbout(*process);
    ASSERT_NE(hAbout, nullptr);

    Press(hAbout, IDC_ABOUT_CHECK_UPDATE);
    const HWND hBox = WaitForShown(process->Id(), "Quorvex", FAILED_TEXT);
    ASSERT_NE(hBox, nullptr);
    EXPECT_EQ(FindShown(process->Id(), NEW_VERSION_CAPTION), nullptr);
    EXPECT_EQ(Stored("Last Suc Update"), "01/01/26");
    Press(hBox, IDOK);
}

TEST_F(UpdateDialogTest, ClosingTheProgressWindowAbandonsAStalledCheckAndThePressStartsAnother) {
    PlantLastSuccess("01/01/26");
    const auto process = StartAsking(UpdateUrl("stall"));
    const HWND hAbout = OpenAbout(*process);
    ASSERT_NE(hAbout, nullptr);

    Press(hAbout, IDC_ABOUT_CHECK_UPDATE);
    const HWND hProgress = WaitForShown(process->Id(), "Quick Update");
    ASSERT_NE(hProgress, nullptr);
    EXPECT_FALSE(IsWindowEnabled(hAbout));
    std::this_thread::sleep_for(1s);
    PostMessageA(hProgress, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(hProgress); }, 10s));
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(hAbout) != FALSE; }, 10s));

    std::this_thread::sleep_for(3s);
    EXPECT_EQ(FindShown(process->Id(), "Quorvex", FAILED_TEXT), nullptr);
    EXPECT_EQ(FindShown(process->Id(), NEW_VERSION_CAPTION), nullptr);
    EXPECT_EQ(Stored("Last Suc Update"), "01/01/26");

    Press(hAbout, IDC_ABOUT_CHECK_UPDATE);
    const HWND hAgain = WaitForShown(process->Id(), "Quick Update", "", 10s);
    ASSERT_NE(hAgain, nullptr) << "a new check, at once";
    PostMessageA(hAgain, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(hAgain); }, 10s));
}

} // namespace
} // namespace qv::e2e
