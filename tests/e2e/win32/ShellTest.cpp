// The desktop service of the running Windows, called in the driver's own process.
#include "platform/Platform.h"
#include "platform/win32/Win32.h"
#include "platform/win32/Win32Shell.h"

#include <gtest/gtest.h>

#include <cstring>

namespace qv::e2e {
namespace {

// The OS writes as much of the version record as its size member claims; only the record's own
// size is handed on, and any other leaves the caller's memory alone.
TEST(Win32Shell, GetVersionExTakesOnlyTheRecordsOwnSizeAndSystemLibrariesLoadFromTheirFolder) {
    win32::CWin32Shell shell;
    // 156 is the size of OSVERSIONINFOEXA, 20 bytes past the record.
    for (const DWORD nSize : {0u, 147u, 149u, 156u, 0xFFFFFFFFu}) {
        OS_VERSION_INFO osvi;
        std::memset(&osvi, 0xA5, sizeof osvi);
        osvi.dwOSVersionInfoSize = nSize;
        OS_VERSION_INFO before = osvi;
        EXPECT_FALSE(shell.GetVersionEx(osvi)) << nSize;
        EXPECT_EQ(std::memcmp(&osvi, &before, sizeof osvi), 0) << nSize;
    }
    OS_VERSION_INFO osvi{};
    osvi.dwOSVersionInfoSize = OS_VERSION_INFO_SIZE;
    EXPECT_TRUE(shell.GetVersionEx(osvi));
    EXPECT_EQ(osvi.dwOSVersionInfoSize, OS_VERSION_INFO_SIZE);
    EXPECT_EQ(osvi.dwPlatformId, PLATFORM_WIN32_NT);

    // By full path from the system directory, with the loader's restricted search for what the
    // library needs in turn.
    EXPECT_TRUE(shell.LoadSystemLibrary("RichEd32.Dll"));
    EXPECT_NE(::GetModuleHandleA("riched32.dll"), nullptr);
    EXPECT_FALSE(shell.LoadSystemLibrary("NoSuchLibrary.dll"));
}

} // namespace
} // namespace qv::e2e
