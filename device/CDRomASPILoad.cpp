// Loading the ASPI library and finding the drives the manager reports. Both run on the main
// thread before any request is pending, and the blocks they send are answered before
// SendASPI32Command returns.
#include "device/CDRomASPI.h"

#include "device/CDRomList.h"
#include "device/Quietly.h"
#include "platform/AspiService.h"

#include <string>

namespace qv {
namespace {

// What the manager is told to allow each command before it gives up, in seconds.
constexpr DWORD ASPI_TIMEOUT_SECONDS = 20;

// Gives the device of the list with this drive text its address, unless the scan has found it
// already; whether it did. A drive the manager reports twice keeps its first address and counts
// once, so that the scan does not end before every drive has had its chance.
bool AddressDrive(const CCDRomList& list, const std::string& strDrive, int nHaId, int nTarget) {
    for (int nIndex = 0; nIndex < list.GetCount(); ++nIndex) {
        CCDRom& device = *list.GetAt(nIndex);
        if (device.m_strDrive == strDrive)
            return device.ClaimAddress(nHaId, nTarget, 0);
    }
    return false;
}

} // namespace

bool CCDRomASPI::LoadAspi(CAspiService& aspi) {
    bool bLoaded = false;
    Quietly([&] {
        if (!aspi.Load() || !aspi.FindEntryPoints())
            return;
        const DWORD dwSupport = aspi.GetASPI32SupportInfo();
        if (SupportStatus(dwSupport) != SS_COMP || SupportAdapters(dwSupport) == 0)
            return;
        // Asking for a disk that need not exist shows whether the manager answers at all.
        SRB_GetDiskInfo test{};
        test.SRB_Cmd = SC_GET_DISK_INFO;
        const DWORD nReturn = aspi.SendASPI32Command(&test);
        bLoaded = nReturn == SS_COMP || nReturn == SS_NO_DEVICE;
    });
    // A library that a chosen transport already uses stays, whatever a later test says.
    if (!bLoaded && GetTransport() != TRANSPORT_ASPI)
        Quietly([&] { aspi.Unload(); });
    return bLoaded;
}

void CCDRomASPI::ScanAspiDevices(CAspiService& aspi, const CCDRomList& list) {
    const DWORD dwSupport = aspi.GetASPI32SupportInfo();
    const int nAdapters = SupportAdapters(dwSupport);
    if (SupportStatus(dwSupport) != SS_COMP || nAdapters == 0)
        return;

    SRB_GetSetTimeouts timeouts{};
    timeouts.SRB_Cmd = SC_GETSET_TIMEOUTS;
    timeouts.SRB_HaId = ASPI_ALL;
    timeouts.SRB_Flags = SRB_DIR_OUT;
    timeouts.SRB_Target = ASPI_ALL;
    timeouts.SRB_Lun = ASPI_ALL;
    timeouts.SRB_Timeout = ASPI_TIMEOUT_SECONDS;
    aspi.SendASPI32Command(&timeouts);

    const int nDevices = list.GetCount();
    int nFound = 0;
    for (int nHaId = 0; nHaId < nAdapters && nFound < nDevices; ++nHaId) {
        SRB_HAInquiry adapter{};
        adapter.SRB_Cmd = SC_HA_INQUIRY;
        adapter.SRB_HaId = static_cast<BYTE>(nHaId);
        if (aspi.SendASPI32Command(&adapter) != SS_COMP)
            continue;
        const int nTargets = adapter.HA_Unique[3] ? adapter.HA_Unique[3] : ASPI_DEFAULT_TARGETS;
        for (int nTarget = 0; nTarget < nTargets && nFound < nDevices; ++nTarget) {
            SRB_GetDiskInfo disk{};
            disk.SRB_Cmd = SC_GET_DISK_INFO;
            disk.SRB_HaId = static_cast<BYTE>(nHaId);
            disk.SRB_Target = static_cast<BYTE>(nTarget);
            if (aspi.SendASPI32Command(&disk) != SS_COMP)
                continue;
            const std::string strDrive{static_cast<char>('A' + disk.SRB_Int13HDriveInfo), ':'};
            if (AddressDrive(list, strDrive, nHaId, nTarget))
                ++nFound;
        }
    }

    for (int nIndex = 0; nIndex < nDevices; ++nIndex) {
        CCDRom& device = *list.GetAt(nIndex);
        if (device.IsUsable())
            device.StartIdentification();
    }
}

} // namespace qv
