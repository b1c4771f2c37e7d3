// The demo program with its window, started from a registry it has never written, on the default
// machine or one of the test's, with a command log of its own.
#pragma once

#include "tests/e2e/win32/MainWindowDriver.h"
#include "tests/e2e/win32/Process.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

namespace qv::e2e {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A fresh file named after the test, holding the given text; returns its path.
    static std::string FreshFile(const std::string& strSuffix, const std::string& strText = "");
    // strMachine is the text of a machine file, empty for the default machine; the environment
    // adds to the demo's own, the command log included.
    std::unique_ptr<CProcess> StartDemo(const std::string& strArgs = "",
                                        const std::string& strMachine = "",
                                        const std::map<std::string, std::string>& environment = {});
    // The window once it shows nEntries drives and the selected one's detected speeds; null
    // when it does not within the limit.
    static HWND WaitUntilReady(const CProcess& process, std::size_t nEntries = 2);

    std::string m_strLog;
};

} // namespace qv::e2e
