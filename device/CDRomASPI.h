// The ASPI transport: each command block travels in a posted request block, and the ASPI
// manager completes it later on a thread of its own by calling AspiPostProc, which continues
// the chain there. Every request in the manager's hands has an entry in one process-wide
// pending list, so that the post routine finds the device that sent it.
#pragma once

#include "device/CDRom.h"
#include "platform/AspiLayout.h"

#include <chrono>
#include <cstddef>
#include <memory>

namespace qv {

class CAspiService;
class CCDRomList;

// A request block with the data buffer it points to; both live until the dispatcher returns.
struct ASPI_REQUEST {
    SRB_ExecSCSICmd srb{};
    std::unique_ptr<BYTE[]> pData;
    std::size_t nData = 0;
};

class CCDRomASPI : public CCDRom {
public:
    CCDRomASPI(const CPlatform& platform, std::string_view strRoot);
    // Waits, bounded, until none of this device's requests is pending; a request the manager
    // completes later is dropped without reaching the device.
    ~CCDRomASPI() override;

    void SetSpeed(int nSpeed, int nRequest) override;
    void Inquiry() override;
    void ModeSense(int nRequest) override;

    void SendSrb(int nRequest, std::unique_ptr<ASPI_REQUEST> pRequest);
    // Hands the reply to the dispatcher, then frees the block and its buffer. A block the
    // manager refused (bDelivered false) never reached the drive: its buffer is not a reply.
    void CompleteSrb(int nRequest, std::unique_ptr<ASPI_REQUEST> pRequest, bool bDelivered);
    static void AspiPostProc(SRB_ExecSCSICmd* pSrb);

    static bool LoadAspi(CAspiService& aspi);
    // Gives each drive of the list that the manager reports its address, marks it usable and
    // starts its identification.
    static void ScanAspiDevices(CAspiService& aspi, const CCDRomList& list);

    // How long destroying a device waits for its pending requests; returns the previous wait.
    static std::chrono::milliseconds SetRetireWait(std::chrono::milliseconds wait);
    // The number of requests the manager holds for all ASPI devices together.
    static std::size_t PendingCount();

private:
    static std::unique_ptr<ASPI_REQUEST> MakeRequest(std::size_t nBuffer);
    void FinishRequest();

    // Both guarded by the pending list's lock: the requests sent and not yet completed, and
    // whether the device is going, after which it sends nothing more.
    int m_nPending = 0;
    bool m_bRetired = false;
};

} // namespace qv
