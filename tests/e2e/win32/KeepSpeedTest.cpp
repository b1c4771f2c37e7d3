// Keep speed against a drive that falls back to its highest speed some time after each change,
// as drives do when the system resets them on a media change.
#include "tests/e2e/win32/MainWindowFixture.h"

#include <gmock/gmock.h>

namespace qv::e2e {
namespace {

using namespace std::chrono_literals;

constexpr int REVERTS_AFTER_MS = 6000;
constexpr int TICK_MS = 5000;

constexpr const char* DRIFTING_MACHINE = R"({ "drives": [
    { "root": "C:\\", "type": "fixed" },
    { "root": "E:\\", "type": "cdrom", "vendor": "QRVX", "product": "CD-ROM 40X",
      "speeds": [4, 8, 16, 24, 32, 40], "current": 40, "revertsAfterMs": 6000 } ] })";

bool IsCapabilitiesRead(const LOGGED_COMMAND& command) {
    return command.strCdb.rfind("5A", 0) == 0 || command.strCdb.rfind("1A", 0) == 0;
}

TEST_F(MainWindowTest, KeepSpeedSetsTheSpeedAgainAfterTheDriveDrifted) {
    const auto process = StartDemo("", DRIFTING_MACHINE);
    HWND hWnd = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
            return (hWnd = FindMainWindow(process->Id())) != nullptr ||
                   FindOtherDialog(process->Id()) != nullptr;
        },
        30s));
    if (!hWnd) {
        const auto box = WaitForMessageBox(process->Id(), 1s);
        GTEST_SKIP() << "the simulated machine cannot drift yet: "
                     << (box ? box->strText : std::string("?"));
    }
    ASSERT_TRUE(WaitUntilReady(*process, 1));

    MoveSliderTo(hWnd, 16);
    ASSERT_TRUE(
        WaitUntil([&] { return ControlText(hWnd, IDC_SEL_SPEED) == "16x  (2816 Kb/s)"; }, 10s));
    const std::size_t nMark = ReadCommandLog(m_strLog).size();
    Command(hWnd, ID_APPLY);

    // The lines of the Apply and of the first set-speed after it: the one after the drift.
    const auto setsTo16 = [&] {
        const auto aLog = ReadCommandLog(m_strLog);
        std::vector<std::size_t> aSets;
        for (std::size_t nLine = nMark; nLine < aLog.size(); ++nLine)
            if (aLog[nLine].strCdb.rfind(SetSpeedCdbPrefix(16), 0) == 0)
                aSets.push_back(nLine);
        return aSets;
    };
    ASSERT_TRUE(WaitUntil([&] { return setsTo16().size() >= 2; },
                          std::chrono::milliseconds(REVERTS_AFTER_MS + 2 * TICK_MS + 5000)));
    const auto aLog = ReadCommandLog(m_strLog);
    const std::size_t nApplied = setsTo16()[0];
    const std::size_t nReapplied = setsTo16()[1];
    const long long nDrifted = aLog[nApplied].nMs + REVERTS_AFTER_MS;
    EXPECT_GE(aLog[nReapplied].nMs, nDrifted);
    EXPECT_LE(aLog[nReapplied].nMs, nDrifted + 2 * TICK_MS);

    // Until then the ticks only read the capabilities: the drive held the speed.
    int nReads = 0;
    for (std::size_t nLine = nApplied + 1; nLine < nReapplied; ++nLine) {
        EXPECT_FALSE(IsSetSpeed(aLog[nLine])) << aLog[nLine].nMs << " " << aLog[nLine].strCdb;
        nReads += IsCapabilitiesRead(aLog[nLine]) ? 1 : 0;
    }
    // The read that follows the Apply, and at least one tick's.
    EXPECT_GE(nReads, 2);
}

} // namespace
} // namespace qv::e2e
