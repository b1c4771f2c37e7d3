// quorvex-demo.exe: the same program on a simulated machine, read from the file that
// QUORVEX_MACHINE names or else the built-in one. The registry, the desktop and the windows
// are real.
#include "app/win32/ProcessStart.h"
#include "sim/MachineFile.h"
#include "sim/SimMachine.h"

#include <cstdlib>
#include <string>

namespace {

constexpr int EXIT_BAD_MACHINE = 2;

// The drives decide which family of Windows the program believes it runs on.
class CDemoShell : public qv::win32::CWin32Shell {
public:
    explicit CDemoShell(qv::sim::SimPlatform platform) : m_platform(platform) {}
    bool GetVersionEx(qv::OS_VERSION_INFO& osvi) override {
        if (!CWin32Shell::GetVersionEx(osvi))
            return false;
        if (m_platform == qv::sim::SimPlatform::Win9x) {
            osvi.dwPlatformId = qv::PLATFORM_WIN32_WINDOWS;
            osvi.dwMajorVersion = 4;
            osvi.dwMinorVersion = 10;
            osvi.dwBuildNumber = 2222;
        }
        return true;
    }

private:
    qv::sim::SimPlatform m_platform;
};

// A machine file that cannot be read ends the program before it touches the registry.
qv::sim::SimMachineConfig LoadMachine(qv::win32::CWin32Shell& shell) {
    const char* pszFile = std::getenv("QUORVEX_MACHINE");
    if (!pszFile || !*pszFile)
        return qv::sim::DefaultMachine();
    try {
        return qv::sim::LoadMachineFile(pszFile);
    } catch (const qv::sim::CMachineFileError& error) {
        const std::string strText =
            std::string("The machine file ") + pszFile + " cannot be used.\r\n\r\n" + error.what();
        shell.MessageBox(qv::NULL_WINDOW, strText.c_str(), qv::APP_NAME, qv::MSGBOX_OK);
        shell.ExitProcess(EXIT_BAD_MACHINE);
        throw;
    }
}

qv::win32::CProcessServices g_services;
qv::sim::CSimMachine g_machine(LoadMachine(g_services.shell));
CDemoShell g_shell(g_machine.Platform());
qv::win32::CDriveReportRunner g_mainDialog;
qv::CQuorvexApp theApp({.drives = g_machine,
                        .events = g_services.events,
                        .registry = g_services.registry,
                        .shell = g_shell,
                        .aspi = g_machine.Aspi()},
                       g_mainDialog);

} // namespace

int main(int argc, char** argv) {
    return qv::win32::RunApplication(theApp, argc, argv);
}
