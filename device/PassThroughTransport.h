// The NT transport: each command block travels in one SCSI pass-through I/O control on the drive's
// device path. The I/O control returns only when the drive has answered, so every drive's requests
// are carried by a thread of its own, one at a time, and whoever sends never waits for a drive.
#pragma once

#include "device/Transport.h"

#include <condition_variable>
#include <mutex>

namespace qv {

class CDriveService;

class CPassThroughTransport : public CTransport {
public:
    explicit CPassThroughTransport(CDriveService& drives);
    // Waits until every thread of a link that has gone has ended: they use the drive service.
    ~CPassThroughTransport() override;

    int Kind() const override { return TRANSPORT_IOCTL; }
    std::unique_ptr<CDriveLink> Connect(const std::string& strDrive, CCommandSink& sink) override;
    std::vector<bool> FindDrives(const std::vector<std::string>& aDrives) override;
    bool WaitIdle(std::chrono::milliseconds nLimit) override;

    // Whether the OS answers the SCSI address query on the volume of C: or else D:, or, on the
    // NT family, on the volume of a CD-ROM drive.
    static bool Probe(const CPlatform& platform);

    // The threads of the links and the requests they have been given, counted so that the
    // transport knows when every request has come back from the OS and every thread has ended.
    struct THREADS {
        std::mutex lock;
        std::condition_variable cvChanged;
        int nRunning = 0;
        int nRequests = 0;
    };

private:
    CDriveService& m_drives;
    std::shared_ptr<THREADS> m_pThreads = std::make_shared<THREADS>();
};

// One address query, or one command, carried on the calling thread to the volume at strPath and
// reported to sink; the transport's threads carry each request so.
void LocatePassThrough(CDriveService& drives, const std::string& strPath, CCommandSink& sink);
void CarryPassThrough(CDriveService& drives, const std::string& strPath, const SCSI_TARGET& target,
                      const COMMAND& command, CCommandSink& sink);

// "\\.\E:" for "E:\" or "E:": the volume of a drive.
std::string MakeDevicePath(std::string_view strDrive);

} // namespace qv
