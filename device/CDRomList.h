// The machine's CD-ROM drives in drive-letter order, one device object each, of the class the
// process's transport calls for. A device's index is also its place in the drive combo box.
#pragma once

#include "device/CDRom.h"

#include <memory>
#include <vector>

namespace qv {

class CCDRomList {
public:
    ~CCDRomList();
    CCDRomList(const CCDRomList&) = delete;
    CCDRomList& operator=(const CCDRomList&) = delete;

    // Enumerates the drives and creates their device objects; sends nothing to any drive.
    static std::unique_ptr<CCDRomList> Build(const CPlatform& platform);

    void IdentifyAll();
    bool AnyUsable() const;
    int GetCount() const { return static_cast<int>(m_apDevices.size()); }
    CCDRom* GetAt(int nIndex) const { return m_apDevices.at(nIndex).get(); }

private:
    CCDRomList() = default;

    std::vector<std::unique_ptr<CCDRom>> m_apDevices;
};

} // namespace qv
