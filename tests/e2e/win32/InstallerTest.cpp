// The release as a user or an administrator's script meets it: the setup and its uninstaller run
// silently, and the portable program runs from a folder of its own. scripts/installer-test.sh
// builds the setups and names them in the environment.
#include "app/BuildConfig.h"
#include "tests/e2e/win32/MainWindowFixture.h"
#include "tests/e2e/win32/ProgramUnderTest.h"
#include "tests/e2e/win32/RegistryReader.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace qv::e2e {
namespace {

using namespace std::chrono_literals;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::Key;
namespace fs = std::filesystem;

constexpr const char* UNINSTALL_ROOT = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string UNINSTALL_KEY = std::string(UNINSTALL_ROOT) + "\\Quorvex";
// A value of the user's settings, which no setup or silent uninstall may take away.
constexpr const char* PLANTED_SETTING = "PlantedByTheTest";
constexpr const char* INSTALLED_FILES[] = {"quorvex.exe", "UpdateQuorvex.exe", "quorvex-help.html"};
// Wine's icacls changes nothing and reports success. Told so, Wine starts the stand-in put in its
// place instead, which records each command in the log and fails when it cannot write there.
constexpr const char* WINE_OVERRIDES_KEY = "Software\\Wine\\DllOverrides";

std::string EntryText(const char* pszName) {
    return ReadText(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, pszName);
}

// Every place a Run value named Quorvex may lie: the user's and both views of the machine's.
const std::pair<HKEY, REGSAM> RUN_PLACES[] = {{HKEY_CURRENT_USER, 0},
                                              {HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY},
                                              {HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY}};

// Which of those places hold one, in their order.
std::vector<bool> RunValues() {
    std::vector<bool> aFound;
    for (const auto& [hRoot, nView] : RUN_PLACES)
        aFound.push_back(ReadValue(hRoot, RUN_KEY, "Quorvex", nView).has_value());
    return aFound;
}

// The uninstall entries that show Quorvex, in both registry views.
int CountEntries() {
    int nEntries = 0;
    for (const REGSAM nView : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        HKEY hKey = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL_ROOT, 0, KEY_READ | nView, &hKey) !=
            ERROR_SUCCESS)
            continue;
        char szName[256];
        for (DWORD nIndex = 0, nLength = sizeof szName;
             RegEnumKeyExA(hKey, nIndex, szName, &nLength, nullptr, nullptr, nullptr, nullptr) ==
             ERROR_SUCCESS;
             ++nIndex, nLength = sizeof szName)
            nEntries += ReadText(HKEY_LOCAL_MACHINE, std::string(UNINSTALL_ROOT) + "\\" + szName,
                                 "DisplayName", nView) == "Quorvex";
        RegCloseKey(hKey);
    }
    return nEntries;
}

std::string Quoted(const fs::path& path) {
    return '"' + path.string() + '"';
}

std::optional<DWORD> RunToEnd(const std::string& strExe, const std::string& strArgs) {
    return CProcess(strExe, strArgs).WaitForExit(120s);
}

// A folder's entries with their sizes, folders as size 0.
std::map<std::string, std::uintmax_t> Listing(const fs::path& folder) {
    std::map<std::string, std::uintmax_t> listing;
    for (const auto& entry : fs::directory_iterator(folder))
        listing[entry.path().filename().string()] = entry.is_regular_file() ? entry.file_size() : 0;
    return listing;
}

// Wine reads the icon of a shortcut's target a moment after the setup has ended, and a folder
// in use cannot go.
void RemoveFolder(const fs::path& folder) {
    if (folder.empty())
        return;
    std::error_code error;
    EXPECT_TRUE(WaitUntil(
        [&] {
            fs::remove_all(folder, error);
            return !fs::exists(folder);
        },
        30s))
        << folder.string() << ": " << error.message();
}

class InstallerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ForgetInstallation();
        fs::copy_file(StandInExe(), m_icacls, fs::copy_options::overwrite_existing);
        WriteValue(HKEY_CURRENT_USER, WINE_OVERRIDES_KEY, "icacls.exe", Text("n"));
        SetEnvironmentVariableA("QV_STANDIN_LOG", m_icaclsLog.string().c_str());
    }
    void TearDown() override {
        ForgetInstallation();
        DeleteValue(HKEY_CURRENT_USER, WINE_OVERRIDES_KEY, "icacls.exe");
    }

    // What an installation leaves wherever it went, without trusting the uninstaller.
    void ForgetInstallation() const {
        RemoveFolder(EntryText("InstallLocation"));
        RemoveFolder(m_defaultFolder);
        std::error_code error;
        fs::remove(m_shortcut, error);
        fs::remove(m_icaclsLog, error);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY.c_str());
        for (const auto& [hRoot, nView] : RUN_PLACES)
            DeleteValue(hRoot, RUN_KEY, "Quorvex", nView);
        ForgetProgramValues();
    }

    const fs::path m_defaultFolder = fs::path(FromEnvironment("ProgramFiles")) / "Quorvex";
    const fs::path m_shortcut = fs::path(FromEnvironment("ProgramData")) /
                                "Microsoft\\Windows\\Start Menu\\Programs\\Quorvex.lnk";
    const fs::path m_icacls = fs::path(FromEnvironment("SystemRoot")) / "system32\\icacls.exe";
    const fs::path m_icaclsLog = fs::temp_directory_path() / "icacls.log";
    const std::string m_strSetup = FromEnvironment("QV_SETUP_EXE");
};

// Every user's Run value starts the installed program: only administrators may change its folder.
// The uninstaller takes the Run values wherever they lie.
TEST_F(InstallerTest, ASilentSetupInstallsForEveryUserAndItsUninstallerKeepsOnlyTheSettings) {
    ASSERT_EQ(RunToEnd(m_strSetup, "/S"), 0u);

    const fs::path folder = m_defaultFolder;
    const std::string strIcacls = Quoted(m_icacls) + " " + Quoted(folder);
    EXPECT_EQ(FileText(m_icaclsLog.string()),
              strIcacls + " /setowner *S-1-5-32-544\n" + strIcacls +
                  " /inheritance:r /grant:r *S-1-5-32-544:(OI)(CI)F "
                  "*S-1-5-18:(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX\n");
    for (const char* pszFile : INSTALLED_FILES)
        EXPECT_TRUE(fs::is_regular_file(folder / pszFile)) << pszFile;
    EXPECT_TRUE(fs::is_regular_file(m_shortcut));
    EXPECT_EQ(CountEntries(), 1);
    EXPECT_EQ(EntryText("DisplayVersion"), QV_VERSION_FULL);
    EXPECT_EQ(EntryText("Publisher"), QV_MAKER);
    EXPECT_EQ(EntryText("URLInfoAbout"), QV_HOME_PAGE);
    EXPECT_EQ(fs::path(EntryText("InstallLocation")), folder);
    EXPECT_EQ(EntryText("UninstallString"), Quoted(folder / "uninstall.exe"));
    EXPECT_EQ(EntryText("QuietUninstallString"), Quoted(folder / "uninstall.exe") + " /S");
    EXPECT_THAT(RunValues(), Each(false));
    EXPECT_EQ(ValueCount(HKEY_CURRENT_USER, APP_KEY), 0u);
    ExpectTheNoDriveBoxAndEnd((folder / "quorvex.exe").string());

    WriteValue(HKEY_CURRENT_USER, APP_KEY, PLANTED_SETTING, Dword(7));
    for (const auto& [hRoot, nView] : RUN_PLACES)
        WriteValue(hRoot, RUN_KEY, "Quorvex",
                   Text("\"C:\\Program Files\\Quorvex\\quorvex.exe\" /boot"), nView);
    // With _?= the uninstaller runs where it lies, so its end can be awaited; it then leaves
    // itself and its folder, which the test removes afterwards.
    const std::string strUninstall = (folder / "uninstall.exe").string();
    // A copy in another user's session gets no close request and keeps its file, as the driver
    // does here: the uninstaller stops and keeps its entry for a later run.
    const HANDLE hProgram = CreateFileA((folder / "quorvex.exe").string().c_str(), GENERIC_READ,
                                        FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(RunToEnd(strUninstall, "/S _?=" + folder.string()).value_or(0), 0u);
    CloseHandle(hProgram);
    EXPECT_EQ(CountEntries(), 1);

    EXPECT_EQ(RunToEnd(strUninstall, "/S _?=" + folder.string()), 0u);
    for (const char* pszFile : INSTALLED_FILES)
        EXPECT_FALSE(fs::exists(folder / pszFile)) << pszFile;
    EXPECT_FALSE(fs::exists(m_shortcut));
    EXPECT_EQ(CountEntries(), 0);
    EXPECT_THAT(RunValues(), Each(false));
    EXPECT_TRUE(ReadValue(HKEY_CURRENT_USER, APP_KEY, PLANTED_SETTING));
}

// The second setup finds the first one's folder through its uninstall entry, and closes the
// running program first.
TEST_F(InstallerTest, InstallingOverAnInstallationKeepsItsFolderTheSettingsAndOneEntry) {
    const fs::path elsewhere = fs::temp_directory_path() / "Quorvex elsewhere";
    const struct {
        std::string strFirstSetup;
        fs::path folder;
        std::string strFolderArgument; // /D= is the last argument and is never quoted.
    } cases[] = {{FromEnvironment("QV_OLD_SETUP_EXE"), m_defaultFolder, ""},
                 {m_strSetup, elsewhere, " /D=" + elsewhere.string()}};
    for (const auto& [strFirstSetup, folder, strFolderArgument] : cases) {
        SCOPED_TRACE(strFirstSetup + " into " + folder.string());
        ForgetInstallation();
        ASSERT_EQ(RunToEnd(strFirstSetup, "/S" + strFolderArgument), 0u);
        WriteValue(HKEY_CURRENT_USER, APP_KEY, PLANTED_SETTING, Dword(7));
        CProcess program(Demo(), "");
        ASSERT_TRUE(WaitForMainWindow(program.Id(), 30s));
        ASSERT_EQ(RunToEnd(m_strSetup, "/S"), 0u);
        EXPECT_EQ(program.WaitForExit(30s), 0u) << "the running program is closed first";
        EXPECT_EQ(CountEntries(), 1);
        EXPECT_EQ(EntryText("DisplayVersion"), QV_VERSION_FULL);
        EXPECT_EQ(fs::path(EntryText("InstallLocation")), folder);
        EXPECT_TRUE(fs::is_regular_file(folder / "quorvex.exe"));
        EXPECT_TRUE(ReadValue(HKEY_CURRENT_USER, APP_KEY, PLANTED_SETTING));
    }
}

// A copy that will not close (the driver holds the program's mutex and answers no message), a
// folder that holds others' files, whose permissions are not the setup's to change, and one whose
// permissions icacls cannot set.
TEST_F(InstallerTest, ASetupThatCannotCloseTheProgramOrSecureItsFolderFailsAndInstallsNothing) {
    const fs::path occupied = fs::temp_directory_path() / "Quorvex occupied";
    for (const std::string strCase : {"running", "occupied", "icacls fails"}) {
        SCOPED_TRACE(strCase);
        fs::create_directories(occupied);
        std::ofstream(occupied / "notes.txt") << "kept";
        const HANDLE hMutex = strCase == "running"
                                  ? CreateMutexA(nullptr, FALSE, "Local\\Quorvex (Velnor) instance")
                                  : nullptr;
        if (strCase == "icacls fails")
            SetEnvironmentVariableA("QV_STANDIN_LOG",
                                    (m_icaclsLog / "unwritable").string().c_str());
        const auto nExit =
            RunToEnd(m_strSetup, strCase == "occupied" ? "/S /D=" + occupied.string() : "/S");
        if (hMutex)
            CloseHandle(hMutex);

        EXPECT_NE(nExit.value_or(0), 0u);
        EXPECT_FALSE(fs::exists(m_defaultFolder));
        EXPECT_THAT(Listing(occupied), ElementsAre(Key("notes.txt")));
        EXPECT_EQ(CountEntries(), 0);
        ForgetInstallation();
    }
    fs::remove_all(occupied);
}

// Each build beside its updater and help page; the program runs from any folder and writes
// nothing beside itself.
TEST_F(InstallerTest, ThePortableZipHoldsBothBuildsAndItsProgramRunsFromAnyFolder) {
    const fs::path top =
        fs::path(FromEnvironment("QV_PORTABLE_ZIP_DIR")) / ("Quorvex-" QV_VERSION_FULL);
    EXPECT_THAT(Listing(top), ElementsAre(Key("32-bit"), Key("64-bit"), Key("README.txt")));
    for (const char* pszBuild : {"32-bit", "64-bit"})
        EXPECT_THAT(
            Listing(top / pszBuild),
            ElementsAre(Key("UpdateQuorvex.exe"), Key("quorvex-help.html"), Key("quorvex.exe")))
            << pszBuild;

    const fs::path folder = fs::temp_directory_path() / "Quorvex portable";
    fs::remove_all(folder);
    fs::copy(top / "64-bit", folder, fs::copy_options::recursive);
    const auto before = Listing(folder);
    ExpectTheNoDriveBoxAndEnd((folder / "quorvex.exe").string());
    EXPECT_EQ(Listing(folder), before);
    fs::remove_all(folder);
}

} // namespace
} // namespace qv::e2e
