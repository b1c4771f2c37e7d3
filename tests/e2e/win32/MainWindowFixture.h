// The demo program with its window, started from a registry it has never written, on the default
// machine or one of the test's, with a command log of its own.
#pragma once

#include "tests/e2e/win32/MainWindowDriver.h"
#include "tests/e2e/win32/ProgramUnderTest.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

namespace qv::e2e {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ForgetProgramValues();
        // Where no window lies: no tooltip or hot button of an earlier test shows in a picture.
        SetCursorPos(0, 0);
    }
    void TearDown() override { ForgetProgramValues(); }

    // A fresh file named after the test, holding the given text; returns its path.
    static std::string FreshFile(const std::string& strSuffix, const std::string& strText = "") {
        const auto* pTest = ::testing::UnitTest::GetInstance()->current_test_info();
        return WriteTempFile(
            std::string(pTest->test_suite_name()) + "." + pTest->name() + strSuffix, strText);
    }
    // strMachine is the text of a machine file, empty for the default machine; the environment
    // adds to the demo's own, the command log included.
    std::unique_ptr<CProcess> StartDemo(const std::string& strArgs = "",
                                        const std::string& strMachine = "",
                                        std::map<std::string, std::string> environment = {},
                                        const std::string& strExe = Demo()) {
        environment.try_emplace("QUORVEX_SIM_LOG", m_strLog);
        environment.try_emplace("QUORVEX_MACHINE",
                                strMachine.empty() ? "" : FreshFile(".json", strMachine));
        return std::make_unique<CProcess>(strExe, strArgs, environment);
    }
    // The window once it shows nEntries drives and the selected one's detected speeds; null
    // when it does not within the limit.
    static HWND WaitUntilReady(const CProcess& process, std::size_t nEntries = 2) {
        const HWND hWnd = WaitForMainWindow(process.Id(), std::chrono::seconds(30));
        const auto ready = [&] {
            return IsWindowVisible(hWnd) && ComboEntries(hWnd).size() == nEntries &&
                   !Slider(hWnd).aTicks.empty();
        };
        return hWnd && WaitUntil(ready, std::chrono::seconds(30)) ? hWnd : nullptr;
    }
    static HWND OpenAbout(const CProcess& process) {
        const HWND hMain = WaitUntilReady(process);
        if (!hMain)
            return nullptr;
        Command(hMain, ID_MENU_ABOUT);
        return WaitForDialog(process.Id(), "About Quorvex");
    }

    std::string m_strLog = FreshFile(".log");
};

// Under Wine the real program finds no CD-ROM drive: a box over its window, on top of every other,
// says so, and the program ends when told it has been read.
inline void ExpectTheNoDriveBoxAndEnd(const std::string& strExe) {
    CProcess process(strExe, "");
    const HWND hBox = WaitForDialog(process.Id(), "Quorvex",
                                    "Quorvex was failed to find any CD-ROM drives. Work finished.");
    ASSERT_TRUE(hBox);
    EXPECT_EQ(GetWindow(hBox, GW_OWNER), FindMainWindow(process.Id()));
    EXPECT_TRUE(GetWindowLongA(hBox, GWL_EXSTYLE) & WS_EX_TOPMOST);
    Command(hBox, IDOK);
    EXPECT_EQ(process.WaitForExit(std::chrono::seconds(30)), 0u);
}

} // namespace qv::e2e
