// The system puts a drive back to its highest speed at every media change and then tells the
// windows that a disc has arrived: the window sends the drive its speed again at once, long before
// its next keep-speed tick. Only a whole media-arrival broadcast of a volume counts.
#include "tests/e2e/win32/MainWindowFixture.h"
#include "tests/e2e/win32/ProgramUnderTest.h"

#include <dbt.h>

#include <algorithm>
#include <thread>

namespace qv::e2e {
namespace {

using namespace std::chrono_literals;

constexpr const char* FORGETFUL_MACHINE = R"({ "drives": [
    { "root": "C:\\", "type": "fixed" },
    { "root": "E:\\", "type": "cdrom", "speeds": [4, 8, 16, 24, 32, 40], "current": 40,
      "revertsAfterMs": 1000 } ] })";

TEST_F(MainWindowTest, AnArrivingDiscGetsItsSpeedAtOnce) {
    const auto process = StartDemo("", FORGETFUL_MACHINE);
    const HWND hWnd = WaitUntilReady(*process, 1);
    ASSERT_TRUE(hWnd);
    MoveSliderTo(hWnd, 16);
    Command(hWnd, ID_APPLY);
    const auto setsTo16 = [&](std::size_t nFrom) {
        const auto aLog = ReadCommandLog(m_strLog);
        return std::count_if(aLog.begin() + static_cast<std::ptrdiff_t>(nFrom), aLog.end(),
                             [](const LOGGED_COMMAND& command) {
                                 return command.strCdb.rfind(SetSpeedCdbPrefix(16), 0) == 0;
                             });
    };
    ASSERT_TRUE(WaitUntil([&] { return setsTo16(0) == 1; }, 10s));
    std::this_thread::sleep_for(1100ms); // the drive runs at 40x again

    const auto arrive = [&](DWORD dwSize, WPARAM nEvent, DWORD dwFlags) {
        DEV_BROADCAST_VOLUME volume{dwSize, DBT_DEVTYP_VOLUME, 0, 1u << ('E' - 'A'),
                                    static_cast<WORD>(dwFlags)};
        // A notice that carries a structure is sent, never posted, across processes.
        SendMessageTimeoutA(hWnd, WM_DEVICECHANGE, nEvent, reinterpret_cast<LPARAM>(&volume),
                            SMTO_NORMAL, 1000, nullptr);
    };
    std::size_t nMark = ReadCommandLog(m_strLog).size();
    arrive(sizeof(DEV_BROADCAST_HDR), DBT_DEVICEARRIVAL, DBTF_MEDIA);
    arrive(sizeof(DEV_BROADCAST_VOLUME), DBT_DEVICEREMOVECOMPLETE, DBTF_MEDIA);
    arrive(sizeof(DEV_BROADCAST_VOLUME), DBT_DEVICEARRIVAL, 0);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(setsTo16(nMark), 0) << "a short, a removal's or a volume's own broadcast";

    nMark = ReadCommandLog(m_strLog).size();
    const auto sent = std::chrono::steady_clock::now();
    arrive(sizeof(DEV_BROADCAST_VOLUME), DBT_DEVICEARRIVAL, DBTF_MEDIA);
    ASSERT_TRUE(WaitUntil([&] { return setsTo16(nMark) == 1; }, 5s));
    // Well within the five seconds to the next tick; the benchmark tells how well.
    EXPECT_LT(std::chrono::steady_clock::now() - sent, 1s);
}

} // namespace
} // namespace qv::e2e
