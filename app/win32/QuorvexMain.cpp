// quorvex.exe: the program on the machine's real drives.
#include "app/BuildConfig.h"
#include "app/win32/ProcessStart.h"
#include "platform/win32/Win32Aspi.h"
#include "platform/win32/Win32DriveService.h"
#include "ui/win32/MainWindow.h"
#include "update/UpdateConfig.h"

// Everything is built here, after the runtime's own start-up and in this order, so that the
// application object comes last, once every service it is handed exists, and goes first.
int main(int argc, char** argv) {
    qv::win32::CProcessServices services;
    qv::win32::CWin32DriveService drives;
    qv::win32::CWin32Aspi aspi;
    qv::win32::CMainWindowRunner mainDialog(services.events);
    qv::CQuorvexApp app({.drives = drives,
                         .events = services.events,
                         .registry = services.registry,
                         .shell = services.shell,
                         .aspi = aspi},
                        mainDialog, services.UpdateServicesFor(qv::BuiltInUpdateConfig()),
                        qv::CQuorvexCmdLine(argc, argv));
    app.Startup();
    return 0;
}
