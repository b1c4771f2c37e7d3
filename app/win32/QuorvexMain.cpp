// quorvex.exe: the program on the machine's real drives.
#include "app/BuildConfig.h"
#include "app/win32/ProcessStart.h"
#include "platform/win32/Win32Aspi.h"
#include "platform/win32/Win32DriveService.h"
#include "ui/win32/MainWindow.h"
#include "update/UpdateConfig.h"

namespace {

// Constructed in this order before main runs: the application object comes last, once every
// service it is handed exists.
qv::win32::CProcessServices g_services;
qv::win32::CWin32DriveService g_drives;
qv::win32::CWin32Aspi g_aspi;
qv::win32::CMainWindowRunner g_mainDialog(g_services.events);
qv::CQuorvexApp theApp({.drives = g_drives,
                        .events = g_services.events,
                        .registry = g_services.registry,
                        .shell = g_services.shell,
                        .aspi = g_aspi},
                       g_mainDialog, g_services.UpdateServicesFor(qv::BuiltInUpdateConfig()));

} // namespace

int main(int argc, char** argv) {
    return qv::win32::RunApplication(theApp, argc, argv);
}
