#include "app/win32/ProcessStart.h"

namespace qv::win32 {

int RunApplication(CQuorvexApp& app, int argc, char** argv) {
    app.Startup(argc, argv);
    return 0;
}

} // namespace qv::win32
