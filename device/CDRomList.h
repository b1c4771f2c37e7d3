// The machine's CD-ROM drives in drive-letter order, one device object each, reached through the
// process's transport. A device's index is also its place in the drive combo box.
#pragma once

#include "device/CDRom.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace qv {

class CDriveService;

class CCDRomList {
public:
    CCDRomList(const CCDRomList&) = delete;
    CCDRomList& operator=(const CCDRomList&) = delete;

    // Enumerates the drives and creates their device objects; sends nothing to any drive.
    // pTransport, which may be null, outlives the list.
    static std::unique_ptr<CCDRomList> Build(const CPlatform& platform, CTransport* pTransport);
    // The roots of the CD-ROM drives in the order the OS lists them, upper-cased.
    static std::vector<std::string> CdRomRoots(CDriveService& drives);

    // Starts the identification of every drive the transport reaches; returns at once.
    void IdentifyAll();
    // Whether every identification that IdentifyAll started has ended within nLimit.
    bool WaitForIdentification(std::chrono::milliseconds nLimit) const;
    // Whether an identification is still on its way.
    bool AnyIdentifying() const;
    bool AnyUsable() const;
    // The per-drive values of every device, from the last device to the first.
    void SaveAll();
    void LoadAll();
    int GetCount() const { return static_cast<int>(m_apDevices.size()); }
    CCDRom* GetAt(int nIndex) const { return m_apDevices.at(nIndex).get(); }

private:
    CCDRomList(const CPlatform& platform, CTransport* pTransport)
        : m_platform(platform), m_pTransport(pTransport) {}

    CPlatform m_platform;
    CTransport* m_pTransport;
    std::vector<std::unique_ptr<CCDRom>> m_apDevices;
};

} // namespace qv
