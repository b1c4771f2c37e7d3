#include "app/win32/ProcessStart.h"

#include "device/CDRomList.h"
#include "platform/win32/Win32.h"

#include <string>

namespace qv::win32 {

CSafeDllSearch::CSafeDllSearch() {
    SetDllDirectoryA("");
}

void CDriveReportRunner::RunModal(CQuorvexApp& app) {
    app.SetDriveList(CCDRomList::Build(app.GetPlatform()));
    CCDRomList& list = *app.GetDriveList();
    list.IdentifyAll();
    list.WaitForIdentification(std::chrono::seconds(10));
    std::string strReport;
    for (int nDevice = 0; nDevice < list.GetCount(); ++nDevice) {
        const CCDRom& device = *list.GetAt(nDevice);
        auto lock = device.Lock();
        strReport += device.m_strDrive + "  " + device.m_strVendor + " " + device.m_strProduct +
                     " " + device.m_strRevision +
                     (device.m_bUsable ? "  at " + std::to_string(device.m_nCurSpeed) + "x of " +
                                             std::to_string(device.m_nMaxSpeed) + "x"
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
