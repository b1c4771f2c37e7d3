// The NT transport: each command block travels in one synchronous SCSI pass-through I/O control
// on the drive's device path, so a request completes, and the chain it starts runs, before the
// sending call returns.
#pragma once

#include "device/CDRom.h"
#include "device/PassThrough.h"

namespace qv {

class CCDRomIOCTL : public CCDRom {
public:
    CCDRomIOCTL(const CPlatform& platform, std::string_view strRoot);
    ~CCDRomIOCTL() override;

    void SetSpeed(int nSpeed, int nRequest) override;
    void Inquiry() override;
    void ModeSense(int nRequest) override;

    void SendPassThrough(int nRequest, CPassThroughRequest request);
    // bDelivered: the I/O control itself succeeded; a request the OS refused fails whatever
    // its status byte still says.
    void CompletePassThrough(int nRequest, CPassThroughRequest request, bool bDelivered);

    // Whether the OS answers the SCSI address query on the volume of C: or else D:, or on the
    // NT family, on the volume of a CD-ROM drive.
    static bool ProbePassThrough(const CPlatform& platform);
};

} // namespace qv
