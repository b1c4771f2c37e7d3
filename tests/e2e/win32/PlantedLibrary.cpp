// A stranger's DLL, planted beside a program under the name of a system DLL: a program that ever
// loads it ends at once with the exit code PLANTED_LIBRARY_EXIT.
#include "tests/e2e/win32/ProgramUnderTest.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD dwReason, LPVOID) {
    if (dwReason == DLL_PROCESS_ATTACH)
        TerminateProcess(GetCurrentProcess(), qv::e2e::PLANTED_LIBRARY_EXIT);
    return TRUE;
}
