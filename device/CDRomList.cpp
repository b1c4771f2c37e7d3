#include "device/CDRomList.h"

#include "device/CDRomASPI.h"
#include "device/CDRomIOCTL.h"
#include "device/Quietly.h"
#include "platform/DriveService.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace qv {
namespace {

constexpr DWORD DRIVE_STRINGS_BUFFER = 404;
constexpr int MAX_DRIVE_ROOTS = 100;

std::unique_ptr<CCDRom> MakeDevice(const CPlatform& platform, const std::string& strRoot) {
    switch (CCDRom::GetTransport()) {
    case TRANSPORT_IOCTL:
        return std::make_unique<CCDRomIOCTL>(platform, strRoot);
    case TRANSPORT_ASPI:
        return std::make_unique<CCDRomASPI>(platform, strRoot);
    default:
        return std::make_unique<CCDRom>(platform, strRoot);
    }
}

} // namespace

CCDRomList::~CCDRomList() {
    while (!m_apDevices.empty())
        m_apDevices.pop_back();
}

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

std::unique_ptr<CCDRomList> CCDRomList::Build(const CPlatform& platform) {
    std::unique_ptr<CCDRomList> pList(new CCDRomList(platform));
    for (const std::string& strRoot : CdRomRoots(platform.drives))
        pList->m_apDevices.push_back(MakeDevice(platform, strRoot));
    return pList;
}

void CCDRomList::IdentifyAll() {
    Quietly([this] {
        for (auto it = m_apDevices.rbegin(); it != m_apDevices.rend(); ++it)
            (*it)->SetUsable(false);
        switch (CCDRom::GetTransport()) {
        case TRANSPORT_IOCTL:
            // Each call returns once its drive's identification chain has ended.
            for (const auto& pDevice : m_apDevices)
                pDevice->StartIdentification();
            break;
        case TRANSPORT_ASPI:
            // The identification of the drives the scan finds completes later, on the
            // manager's thread.
            CCDRomASPI::ScanAspiDevices(m_platform.aspi, *this);
            break;
        default:
            break;
        }
    });
}

bool CCDRomList::WaitForIdentification(std::chrono::milliseconds nLimit) {
    const auto tDeadline = std::chrono::steady_clock::now() + nLimit;
    return std::all_of(m_apDevices.begin(), m_apDevices.end(), [tDeadline](const auto& pDevice) {
        return pDevice->WaitIdentified(tDeadline);
    });
}

bool CCDRomList::AnyUsable() const {
    return std::any_of(m_apDevices.begin(), m_apDevices.end(),
                       [](const auto& pDevice) { return pDevice->IsUsable(); });
}

void CCDRomList::SaveAll() {
    const RegKey hKey = CCDRom::OpenSettingsKey(m_platform, true);
    CRegKeyScope scope(m_platform.registry, hKey);
    for (auto it = m_apDevices.rbegin(); it != m_apDevices.rend(); ++it)
        (*it)->SaveSettings(hKey);
}

void CCDRomList::LoadAll() {
    const RegKey hKey = CCDRom::OpenSettingsKey(m_platform, false);
    if (hKey == REGKEY_NULL)
        return;
    CRegKeyScope scope(m_platform.registry, hKey);
    for (auto it = m_apDevices.rbegin(); it != m_apDevices.rend(); ++it)
        (*it)->LoadSettings(hKey);
}

} // namespace qv
