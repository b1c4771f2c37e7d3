#include "app/win32/ProcessStart.h"

#include "device/CDRomList.h"
#include "platform/win32/Win32.h"
#include "platform/win32/Win32Library.h"

#include <string>

namespace qv::win32 {

CSafeDllSearch::CSafeDllSearch() {
    SetDllDirectoryA("");
    // Where the loader has it (Windows 8, or 7 with update KB2533623), a library that a system
    // library asks for by name comes from the system directory only, not the program's folder,
    // which may be a downloads folder full of strangers' files.
    decltype(&::SetDefaultDllDirectories) pfnSetDefaultDllDirectories = nullptr;
    if (QV_GET_FUNCTION(::GetModuleHandleW(L"kernel32.dll"), SetDefaultDllDirectories,
                        pfnSetDefaultDllDirectories))
        pfnSetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

void CDriveReportRunner::RunModal(CQuorvexApp& app) {
    app.SetDriveList(CCDRomList::Build(app.GetPlatform()));
    CCDRomList& list = *app.GetDriveList();
    list.IdentifyAll();
    list.WaitForIdentification(std::chrono::seconds(10));
    std::string strReport;
    for (int nDevice = 0; nDevice < list.GetCount(); ++nDevice) {
        const DRIVE_STATE drive = list.GetAt(nDevice)->Snapshot();
        strReport += drive.strDrive + "  " + drive.strVendor + " " + drive.strProduct + " " +
                     drive.strRevision +
                     (drive.bUsable ? "  at " + std::to_string(drive.nCurSpeed) + "x of " +
                                          std::to_string(drive.nMaxSpeed) + "x"
                                    : "  (not usable)") +
                     "\r\n";
    }
    if (strReport.empty())
        strReport = "No CD-ROM drive.\r\n";
    app.GetPlatform().shell.MessageBox(NULL_WINDOW, strReport.c_str(), APP_NAME, MSGBOX_OK);
}

int RunApplication(CQuorvexApp& app, int argc, char** argv) {
    app.Startup(argc, argv);
    return 0;
}

} // namespace qv::win32
