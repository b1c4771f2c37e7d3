#include "tests/e2e/win32/ProgramUnderTest.h"

#include "tests/e2e/win32/RegistryReader.h"

namespace qv::e2e {

void ForgetProgramValues() {
    for (HKEY hRoot : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        DeleteKeyTree(hRoot, "Software\\Velnor");
        DeleteValue(hRoot, RUN_KEY, "Quorvex");
    }
}

} // namespace qv::e2e
