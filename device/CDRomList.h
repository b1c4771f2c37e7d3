// The machine's CD-ROM drives in drive-letter order, one device object each, of the class the
// process's transport calls for. A device's index is also its place in the drive combo box.
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
    ~CCDRomList();
    CCDRomList(const CCDRomList&) = delete;
    CCDRomList& operator=(const CCDRomList&) = delete;

    // Enumerates the drives and creates their device objects; sends nothing to any drive.
    static std::unique_ptr<CCDRomList> Build(const CPlatform& platform);
    // The roots of the CD-ROM drives in the order the OS lists them, upper-cased.
    static std::vector<std::string> CdRomRoots(CDriveService& drives);

    void IdentifyAll();
    // Whether every identification chain that IdentifyAll started has ended within nLimit.
    bool WaitForIdentification(std::chrono::milliseconds nLimit);
    bool AnyUsable() const;
    // The per-drive values of every device, from the last device to the first.
    void SaveAll();
    void LoadAll();
    int GetCount() const { return static_cast<int>(m_apDevices.size()); }
    CCDRom* GetAt(int nIndex) const { return m_apDevices.at(nIndex).get(); }

private:
    explicit CCDRomList(const CPlatform& platform) : m_platform(platform) {}

    CPlatform m_platform;
    std::vector<std::unique_ptr<CCDRom>> m_apDevices;
};

} // namespace qv
