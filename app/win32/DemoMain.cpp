// quorvex-demo.exe: the same program on a simulated machine, read from the file that
// QUORVEX_MACHINE names or else the built-in one. The registry, the desktop and the windows
// are real.
#include "app/BuildConfig.h"
#include "app/Texts.h"
#include "app/win32/ProcessStart.h"
#include "platform/PassThroughLayout.h"
#include "platform/win32/Win32.h"
#include "sim/MachineFile.h"
#include "sim/SimMachine.h"
#include "ui/win32/MainWindow.h"
#include "update/UpdateConfig.h"
#include "update/UpdateSignature.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

namespace {

// A machine file or an update address that cannot be used.
constexpr int EXIT_BAD_INPUT = 2;

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

// When QUORVEX_SIM_LOG names a file, every command block a simulated drive receives through
// pass-through is appended to it as one line: milliseconds since start, the drive's root, the
// block in hex and the SCSI status ("--" when the request never reached the drive). Another
// process may read the file while the demo runs.
class CCommandLog : public qv::CDriveService {
public:
    CCommandLog(qv::CDriveService& drives, const char* pszFile) : m_drives(drives) {
        if (pszFile && *pszFile)
            m_hFile = ::CreateFileA(pszFile, FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    ~CCommandLog() override {
        if (m_hFile != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_hFile);
    }
    CCommandLog(const CCommandLog&) = delete;
    CCommandLog& operator=(const CCommandLog&) = delete;

    qv::DWORD GetLogicalDriveStrings(qv::DWORD nBufferLength, char* pBuffer) override {
        return m_drives.GetLogicalDriveStrings(nBufferLength, pBuffer);
    }
    unsigned GetDriveType(const std::string& strRoot) override {
        return m_drives.GetDriveType(strRoot);
    }
    qv::DeviceHandle CreateFile(const std::string& strPath, qv::DWORD dwAccess, qv::DWORD dwShare,
                                qv::DWORD dwCreation, qv::DWORD dwFlags) override {
        const qv::DeviceHandle hDevice =
            m_drives.CreateFile(strPath, dwAccess, dwShare, dwCreation, dwFlags);
        if (hDevice != qv::INVALID_DEVICE_HANDLE) {
            // "\\.\G:" is the volume of "G:\".
            std::lock_guard lock(m_lock);
            m_mapRoots[hDevice] = strPath.substr(strPath.find_last_of('\\') + 1) + '\\';
        }
        return hDevice;
    }
    bool DeviceIoControl(qv::DeviceHandle hDevice, qv::DWORD dwCode, void* pIn, qv::DWORD nInSize,
                         void* pOut, qv::DWORD nOutSize, qv::DWORD* pnReturned) override {
        const bool bDone =
            m_drives.DeviceIoControl(hDevice, dwCode, pIn, nInSize, pOut, nOutSize, pnReturned);
        if (dwCode == qv::CTL_SCSI_PASS_THROUGH && pIn && nInSize >= qv::PT_HEADER_SIZE)
            Write(hDevice, pIn, bDone);
        return bDone;
    }
    bool CloseHandle(qv::DeviceHandle hDevice) override {
        {
            std::lock_guard lock(m_lock);
            m_mapRoots.erase(hDevice);
        }
        return m_drives.CloseHandle(hDevice);
    }
    bool Vwin32DeviceIoControl(qv::DeviceHandle hVwin32, qv::DWORD dwCode, qv::DIOC_REGISTERS& regs,
                               void* pParams) override {
        return m_drives.Vwin32DeviceIoControl(hVwin32, dwCode, regs, pParams);
    }

private:
    void Write(qv::DeviceHandle hDevice, const void* pRequest, bool bDone) {
        if (m_hFile == INVALID_HANDLE_VALUE)
            return;
        qv::PASS_THROUGH_HEADER header;
        std::memcpy(&header, pRequest, sizeof header);
        const auto nMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - m_start)
                             .count();
        std::lock_guard lock(m_lock);
        std::string strLine = std::to_string(nMs) + " " + m_mapRoots[hDevice] + " ";
        char szByte[4] = {};
        for (int nByte = 0; nByte < header.CdbLength && nByte < int{qv::PT_CDB_SIZE}; ++nByte) {
            std::snprintf(szByte, sizeof szByte, "%02X", header.Cdb[nByte]);
            strLine += szByte;
        }
        std::snprintf(szByte, sizeof szByte, "%02X", header.ScsiStatus);
        strLine += std::string(" ") + (bDone ? szByte : "--") + "\r\n";
        DWORD nWritten = 0;
        ::WriteFile(m_hFile, strLine.data(), static_cast<DWORD>(strLine.size()), &nWritten,
                    nullptr);
    }

    qv::CDriveService& m_drives;
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    const std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    std::mutex m_lock;
    std::map<qv::DeviceHandle, std::string> m_mapRoots;
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
        shell.ExitProcess(EXIT_BAD_INPUT);
        throw;
    }
}

// QUORVEX_UPDATE_URL, when set, names the update description to ask for in place of the maker's,
// as https://host[:port]/path, or http:// for tests of the parsing rules; QUORVEX_UPDATE_KEY, the
// key that signs it, in the build's form. A value that names no such thing ends the program, like
// a bad machine file, rather than quietly asking the maker's server or trusting the maker's key.
qv::UpdateConfig LoadUpdateConfig(qv::win32::CWin32Shell& shell) {
    qv::UpdateConfig config = qv::BuiltInUpdateConfig();
    const char* pszUrl = std::getenv("QUORVEX_UPDATE_URL");
    const char* pszKey = std::getenv("QUORVEX_UPDATE_KEY");
    const auto server = pszUrl && *pszUrl ? qv::ParseUpdateUrl(pszUrl) : config.server;
    const auto key = pszKey && *pszKey ? qv::ParsePublicKey(pszKey) : config.publicKey;
    if (server && key) {
        config.server = *server;
        config.publicKey = *key;
        return config;
    }
    const std::string strText = server
                                    ? std::string("The update key ") + pszKey +
                                          " cannot be used: it must be 04 and 128 hex digits."
                                    : std::string("The update address ") + pszUrl +
                                          " cannot be used: it must read https://host[:port]/path.";
    shell.MessageBox(qv::NULL_WINDOW, strText.c_str(), qv::APP_NAME, qv::MSGBOX_OK);
    shell.ExitProcess(EXIT_BAD_INPUT);
    return config;
}

} // namespace

int main(int argc, char** argv) {
    qv::win32::CProcessServices services;
    qv::sim::CSimMachine machine(LoadMachine(services.shell));
    CDemoShell shell(machine.Platform());
    CCommandLog commandLog(machine, std::getenv("QUORVEX_SIM_LOG"));
    qv::win32::CMainWindowRunner mainDialog(services.events);
    qv::CQuorvexApp app({.drives = commandLog,
                         .events = services.events,
                         .registry = services.registry,
                         .shell = shell,
                         .aspi = machine.Aspi()},
                        mainDialog, services.UpdateServicesFor(LoadUpdateConfig(services.shell)),
                        qv::CQuorvexCmdLine(argc, argv));
    app.Startup();
    return 0;
}
