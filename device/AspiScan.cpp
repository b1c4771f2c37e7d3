// Loading the ASPI library and finding the drives the manager reports. Both run before any request
// is pending, and the blocks they send are answered before SendASPI32Command returns: the manager
// answers them from what it knows of its adapters, without asking a drive.
#include "device/AspiTransport.h"

#include "device/Quietly.h"
#include "platform/AspiLayout.h"
#include "platform/AspiService.h"

#include <algorithm>

namespace qv {
namespace {

// What the manager is told to allow each command before it gives up, in seconds.
constexpr DWORD ASPI_TIMEOUT_SECONDS = 20;

} // namespace

bool CAspiTransport::LoadAspi(CAspiService& aspi) {
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
    if (!bLoaded)
        Quietly([&] { aspi.Unload(); });
    return bLoaded;
}

std::vector<bool> CAspiTransport::FindDrives(const std::vector<std::string>& aDrives) {
    std::vector<bool> aFound(aDrives.size(), false);
    m_mapFound.clear();
    const DWORD dwSupport = m_aspi.GetASPI32SupportInfo();
    const int nAdapters = SupportAdapters(dwSupport);
    if (SupportStatus(dwSupport) != SS_COMP || nAdapters == 0)
        return aFound;

    SRB_GetSetTimeouts timeouts{};
    timeouts.SRB_Cmd = SC_GETSET_TIMEOUTS;
    timeouts.SRB_HaId = ASPI_ALL;
    timeouts.SRB_Flags = SRB_DIR_OUT;
    timeouts.SRB_Target = ASPI_ALL;
    timeouts.SRB_Lun = ASPI_ALL;
    timeouts.SRB_Timeout = ASPI_TIMEOUT_SECONDS;
    m_aspi.SendASPI32Command(&timeouts);

    const std::size_t nDrives = aDrives.size();
    for (int nHaId = 0; nHaId < nAdapters && m_mapFound.size() < nDrives; ++nHaId) {
        SRB_HAInquiry adapter{};
        adapter.SRB_Cmd = SC_HA_INQUIRY;
        adapter.SRB_HaId = static_cast<BYTE>(nHaId);
        if (m_aspi.SendASPI32Command(&adapter) != SS_COMP)
            continue;
        const int nTargets = adapter.HA_Unique[3] ? adapter.HA_Unique[3] : ASPI_DEFAULT_TARGETS;
        for (int nTarget = 0; nTarget < nTargets && m_mapFound.size() < nDrives; ++nTarget) {
            SRB_GetDiskInfo disk{};
            disk.SRB_Cmd = SC_GET_DISK_INFO;
            disk.SRB_HaId = static_cast<BYTE>(nHaId);
            disk.SRB_Target = static_cast<BYTE>(nTarget);
            if (m_aspi.SendASPI32Command(&disk) != SS_COMP)
                continue;
            // A drive the manager reports twice keeps its first address and counts once, so that
            // the scan does not end before every drive has had its chance.
            const std::string strDrive{static_cast<char>('A' + disk.SRB_Int13HDriveInfo), ':'};
            const auto it = std::ranges::find(aDrives, strDrive);
            if (it == aDrives.end() || m_mapFound.contains(strDrive))
                continue;
            m_mapFound[strDrive] = {nHaId, nTarget, 0};
            aFound[static_cast<std::size_t>(it - aDrives.begin())] = true;
        }
    }
    return aFound;
}

} // namespace qv
