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

std::string MainWindowTest::FreshFile(const std::string& strSuffix, const std::string& strText) {
    const auto* pTest = ::testing::UnitTest::GetInstance()->current_test_info();
    return WriteTempFile(std::string(pTest->test_suite_name()) + "." + pTest->name() + strSuffix,
                         strText);
}

std::unique_ptr<CProcess>
MainWindowTest::StartDemo(const std::string& strArgs, const std::string& strMachine,
                          const std::map<std::string, std::string>& environment) {
    auto demoEnvironment = OnMachine(strMachine.empty() ? "" : FreshFile(".json", strMachine));
    demoEnvironment["QUORVEX_SIM_LOG"] = m_strLog;
    for (const auto& [strName, strValue] : environment)
        demoEnvironment[strName] = strValue;
    return std::make_unique<CProcess>(Demo(), strArgs, demoEnvironment);
}

HWND MainWindowTest::WaitUntilReady(const CProcess& process, std::size_t nEntries) {
    const HWND hWnd = WaitForMainWindow(process.Id(), 30s);
    const bool bReady = hWnd && WaitUntil(
                                    [&] {
                                        return IsWindowVisible(hWnd) &&
                                               ComboEntries(hWnd).size() == nEntries &&
                                               !Slider(hWnd).aTicks.empty();
                                    },
                                    30s);
    return bReady ? hWnd : nullptr;
}

} // namespace qv::e2e
