// The ASPI transport: each command block travels in a posted request block, and the ASPI manager
// completes it later on a thread of its own by calling AspiPostProc. Every request in the
// manager's hands has an entry in one process-wide pending list, so that the post routine finds
// the link that sent it.
#pragma once

#include "device/Transport.h"

#include <map>

namespace qv {

class CAspiService;

class CAspiTransport : public CTransport {
public:
    // aspi is loaded and has passed LoadAspi's test.
    explicit CAspiTransport(CAspiService& aspi) : m_aspi(aspi) {}

    int Kind() const override { return TRANSPORT_ASPI; }
    std::unique_ptr<CDriveLink> Connect(const std::string& strDrive, CCommandSink& sink) override;
    // Asks the manager for its adapters and their targets, and gives each drive it reports the
    // address it lies at; a drive it does not report is not reached.
    std::vector<bool> FindDrives(const std::vector<std::string>& aDrives) override;
    bool WaitIdle(std::chrono::milliseconds nLimit) override;

    // Loads WNASPI32 and tests that the manager answers; the library stays loaded once it has.
    static bool LoadAspi(CAspiService& aspi);

    // How long a link that goes waits for its pending requests; returns the previous wait.
    static std::chrono::milliseconds SetRetireWait(std::chrono::milliseconds wait);
    // The number of requests the manager holds for all links together.
    static std::size_t PendingCount();

private:
    CAspiService& m_aspi;
    // Where the last scan found each drive, by drive text.
    std::map<std::string, SCSI_TARGET> m_mapFound;
};

} // namespace qv
