#include "app/QuorvexCmdLine.h"

#include <gtest/gtest.h>

#include <vector>

namespace qv {
namespace {

struct Parsed {
    bool bSave;
    bool bRestore;
    bool operator==(const Parsed&) const = default;
};

void PrintTo(const Parsed& parsed, std::ostream* pOut) {
    *pOut << "{save " << parsed.bSave << ", restore " << parsed.bRestore << "}";
}

Parsed Parse(std::vector<const char*> aArgs) {
    aArgs.insert(aArgs.begin(), "Quorvex.exe");
    CQuorvexCmdLine cmdLine;
    cmdLine.Parse(static_cast<int>(aArgs.size()), aArgs.data());
    return {cmdLine.m_bSave, cmdLine.m_bRestore};
}

constexpr Parsed NOTHING{false, false};
constexpr Parsed SAVE{true, false};
constexpr Parsed RESTORE{false, true};
constexpr Parsed BOTH{true, true};

TEST(CmdLineTest, SaveIsASwitchInAnyCaseAfterEitherPrefix) {
    EXPECT_EQ(Parse({"/SAVE"}), SAVE);
    EXPECT_EQ(Parse({"-Save"}), SAVE);
    EXPECT_EQ(Parse({"/save"}), SAVE);
}

TEST(CmdLineTest, OnlyTheWholeWordAfterAPrefixCounts) {
    EXPECT_EQ(Parse({"save"}), NOTHING);
    EXPECT_EQ(Parse({"/saves"}), NOTHING);
    EXPECT_EQ(Parse({"/sav"}), NOTHING);
    EXPECT_EQ(Parse({"//save"}), NOTHING);
    EXPECT_EQ(Parse({"\\save"}), NOTHING);
}

TEST(CmdLineTest, BootAndRestoreAreTheSameSwitch) {
    EXPECT_EQ(Parse({"/boot"}), RESTORE);
    EXPECT_EQ(Parse({"-RESTORE"}), RESTORE);
    EXPECT_EQ(Parse({"/save", "/boot"}), BOTH);
    EXPECT_EQ(Parse({"/boot", "/save"}), BOTH);
}

TEST(CmdLineTest, EverythingElseIsAcceptedAndIgnored) {
    EXPECT_EQ(Parse({"/x"}), NOTHING);
    EXPECT_EQ(Parse({"C:\\Disc\\track01.cda"}), NOTHING);
    EXPECT_EQ(Parse({"-", "/", ""}), NOTHING);
    EXPECT_EQ(Parse({"/x", "readme.txt", "-save"}), SAVE);
    EXPECT_EQ(Parse({}), NOTHING);
}

TEST(CmdLineTest, TheProgramNameIsNeverAnArgument) {
    const char* aArgs[] = {"/save"};
    CQuorvexCmdLine cmdLine;
    cmdLine.Parse(1, aArgs);
    EXPECT_FALSE(cmdLine.m_bSave);

    CQuorvexCmdLine empty;
    empty.Parse(0, nullptr);
    EXPECT_FALSE(empty.m_bSave);
    EXPECT_FALSE(empty.m_bRestore);
}

} // namespace
} // namespace qv
