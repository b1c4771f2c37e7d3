#include "device/CDRomList.h"

#include "device/DriveSettings.h"
#include "device/Quietly.h"
#include "platform/DriveService.h"

#include <algorithm>
#include <cctype>

namespace qv {
namespace {

constexpr DWORD DRIVE_STRINGS_BUFFER = 404;
constexpr int MAX_DRIVE_ROOTS = 100;

} // namespace

std::vector<std::string> CCDRomList::CdRomRoots(CDriveService& drives) {
    // The buffer is zeroed and one byte longer than it is declared to the OS, so the walk
    // below always ends on an empty string, whatever the OS left in it.
    char szRoots[DRIVE_STRINGS_BUFFER + 1] = {};
    const DWORD nLength = drives.GetLogicalDriveStrings(DRIVE_STRINGS_BUFFER, szRoots);
    std::vector<std::string> aRoots;
    if (nLength == 0 || nLength > DRIVE_STRINGS_BUFFER)
        return aRoots;
    const char* pszRoot = szRoots;
    for (int nRoot = 0; nRoot < MAX_DRIVE_ROOTS && *pszRoot; ++nRoot) {
        std::string strRoot(pszRoot);
        pszRoot += strRoot.size() + 1;
        if (drives.GetDriveType(strRoot) != DRIVETYPE_CDROM)
            continue;
        std::transform(strRoot.begin(), strRoot.end(), strRoot.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        aRoots.push_back(std::move(strRoot));
    }
    return aRoots;
}

std::unique_ptr<CCDRomList> CCDRomList::Build(const CPlatform& platform, CTransport* pTransport) {
    std::unique_ptr<CCDRomList> pList(new CCDRomList(platform, pTransport));
    for (const std::string& strRoot : CdRomRoots(platform.drives))
        pList->m_apDevices.push_back(std::make_unique<CCDRom>(platform, strRoot, pTransport));
    return pList;
}

void CCDRomList::IdentifyAll() {
    Quietly([this] {
        std::vector<std::string> aDrives;
        for (const auto& pDevice : m_apDevices) {
            pDevice->SetUnusable();
            aDrives.push_back(pDevice->Drive());
        }
        if (!m_pTransport)
            return;
        const std::vector<bool> aFound = m_pTransport->FindDrives(aDrives);
        for (std::size_t nDevice = 0; nDevice < m_apDevices.size(); ++nDevice)
            if (nDevice < aFound.size() && aFound[nDevice])
                m_apDevices[nDevice]->Identify();
    });
}

bool CCDRomList::WaitForIdentification(std::chrono::milliseconds nLimit) const {
    const auto tDeadline = std::chrono::steady_clock::now() + nLimit;
    return std::all_of(m_apDevices.begin(), m_apDevices.end(), [tDeadline](const auto& pDevice) {
        return pDevice->WaitIdentified(tDeadline);
    });
}

bool CCDRomList::AnyIdentifying() const {
    return std::any_of(m_apDevices.begin(), m_apDevices.end(),
                       [](const auto& pDevice) { return pDevice->Snapshot().bIdentifying; });
}

bool CCDRomList::AnyUsable() const {
    return std::any_of(m_apDevices.begin(), m_apDevices.end(),
                       [](const auto& pDevice) { return pDevice->IsUsable(); });
}

void CCDRomList::SaveAll() {
    CSettingsKey key(m_platform.registry, m_platform.registryRoot, true, SETTINGS_CREATE_ACCESS);
    for (auto it = m_apDevices.rbegin(); it != m_apDevices.rend(); ++it)
        SaveDriveSettings(key, **it);
}

void CCDRomList::LoadAll() {
    const CSettingsKey key(m_platform.registry, m_platform.registryRoot, false,
                           SETTINGS_OPEN_ACCESS);
    if (!key.IsOpen())
        return;
    for (auto it = m_apDevices.rbegin(); it != m_apDevices.rend(); ++it)
        LoadDriveSettings(key, **it);
}

} // namespace qv
