#include "app/QuorvexCmdLine.h"

#include <gtest/gtest.h>

#include <vector>

namespace qv {
namespace {

TEST(CmdLineTest, OnlySaveRestoreOrBootWholeAfterOneSlashOrDashCountInAnyCase) {
    struct Case {
        std::vector<const char*> aArgs; // after the program's name
        bool bSave;
        bool bRestore;
    };
    const Case aCases[] = {
        {{"/SAVE"}, true, false},
        {{"-Save"}, true, false},
        {{"/boot"}, false, true},
        {{"-RESTORE"}, false, true},
        {{"/boot", "/save"}, true, true},
        {{"/x", "readme.txt", "-save"}, true, false},
        {{"save"}, false, false},
        {{"/saves"}, false, false},
        {{"/sav"}, false, false},
        {{"//save"}, false, false},
        {{"\\save"}, false, false},
        {{"-", "/", ""}, false, false},
        {{}, false, false},
    };
    for (const Case& c : aCases) {
        SCOPED_TRACE(::testing::PrintToString(c.aArgs));
        // A program name that would count, were it taken for an argument.
        std::vector<const char*> aArgv{"/save"};
        aArgv.insert(aArgv.end(), c.aArgs.begin(), c.aArgs.end());
        CQuorvexCmdLine cmdLine;
        cmdLine.Parse(static_cast<int>(aArgv.size()), aArgv.data());
        EXPECT_EQ(cmdLine.m_bSave, c.bSave);
        EXPECT_EQ(cmdLine.m_bRestore, c.bRestore);
    }
    CQuorvexCmdLine empty;
    empty.Parse(0, nullptr);
    EXPECT_FALSE(empty.m_bSave || empty.m_bRestore);
}

} // namespace
} // namespace qv
