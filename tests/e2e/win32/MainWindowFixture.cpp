#include "tests/e2e/win32/MainWindowFixture.h"

#include "tests/e2e/win32/ProgramUnderTest.h"

namespace qv::e2e {

using namespace std::chrono_literals;

void MainWindowTest::SetUp() {
    ForgetProgramValues();
    // Where no window lies: no tooltip or hot button of an earlier test shows in a picture.
    SetCursorPos(0, 0);
    m_strLog = FreshFile(".log");
}

void MainWindowTest::TearDown() {
    ForgetProgramValues();
}

namespace {

// A file of the driver's temporary folder named after the running test.
std::string WriteTestFile(const std::string& strSuffix, const std::string& strText) {
    const auto* pTest = ::testing::UnitTest::GetInstance()->current_test_info();
    return WriteTempFile(std::string(pTest->test_suite_name()) + "." + pTest->name() + strSuffix,
                         strText);
}

} // namespace

std::string MainWindowTest::FreshFile(const std::string& strSuffix) {
    return WriteTestFile(strSuffix, "");
}

std::unique_ptr<CProcess> MainWindowTest::StartDemo(const std::string& strArgs,
                                                    const std::string& strMachine) {
    return StartDemo(strArgs, strMachine, m_strLog);
}

std::unique_ptr<CProcess> MainWindowTest::StartDemo(const std::string& strArgs,
                                                    const std::string& strMachine,
                                                    const std::string& strLog) {
    auto environment = OnMachine(strMachine.empty() ? "" : WriteTestFile(".json", strMachine));
    environment["QUORVEX_SIM_LOG"] = strLog;
    return std::make_unique<CProcess>(Demo(), strArgs, environment);
}

HWND MainWindowTest::WaitUntilReady(const CProcess& process, std::size_t nEntries) {
    const HWND hWnd = WaitForMainWindow(process.Id(), 30s);
    if (!hWnd)
        return nullptr;
    const bool bReady = WaitUntil(
        [&] {
            return IsWindowVisible(hWnd) && ComboEntries(hWnd).size() == nEntries &&
                   !Slider(hWnd).aTicks.empty();
        },
        30s);
    return bReady ? hWnd : nullptr;
}

std::string MainWindowTest::Caption(HWND hWnd) {
    char szText[256] = {};
    GetWindowTextA(hWnd, szText, sizeof szText);
    return szText;
}

} // namespace qv::e2e
